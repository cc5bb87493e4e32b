#include "tools/anchor/Anchors.h"

#include "editor/anchors/MovieObjectFile.h"
#include "platform/video/FrameSource.h"
#include "tools/anchor/Text.h"
#include "tools/anchor/ToolText.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <sys/stat.h>

namespace qxm::anchortool {
CollectedPrompts::CollectedPrompts(std::vector<std::string>& into)
    : into_(into), previous_(setPromptHandler(this)) {}

CollectedPrompts::~CollectedPrompts() {
    setPromptHandler(previous_);
}

Answer CollectedPrompts::ask(const Prompt& prompt) {
    into_.push_back(prompt.text);
    return defaultAnswer(prompt.buttons);
}

bool readableFile(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    std::fclose(f);
    return true;
}

PlayerReading readWithPlayer(const std::string& path) {
    CDefAnchor store;
    PlayerReading r;
    r.result = store.LoadAnchors(path);
    r.problem = store.LastProblem();
    r.anchors.reserve(static_cast<std::size_t>(store.Count()));
    for (int i = 0; i < store.Count(); ++i)
        r.anchors.push_back(*store.Record(store.At(i)));
    return r;
}

EditorReading readWithEditor(const std::string& path) {
    EditorReading r;
    CollectedPrompts prompts(r.messages);
    r.table.XScale = 1.0;
    r.table.YScale = 1.0;
    r.status = anchors::ReadAnchorFileAt(r.table, path, &r.trace);
    return r;
}

std::optional<Anchor> clipAnchor(const Anchor& a, std::int64_t low, std::int64_t high) {
    if (a.entries.empty()) return std::nullopt;
    const std::int64_t first = std::max<std::int64_t>(low, a.entries.front().frame);
    const std::int64_t last = std::min<std::int64_t>(high, a.entries.back().frame);
    if (first > last) return std::nullopt;
    Anchor out = a;
    out.entries.clear();
    const auto f0 = static_cast<std::int32_t>(first), f1 = static_cast<std::int32_t>(last);
    AnchorRect rect;
    if (anchorRectAt(a, f0, rect)) out.entries.push_back({f0, rect});
    for (const AnchorFrameEntry& e : a.entries)
        if (e.frame > f0 && e.frame < f1) out.entries.push_back(e);
    if (f1 > f0 && anchorRectAt(a, f1, rect)) out.entries.push_back({f1, rect});
    out.startFrame = static_cast<std::int32_t>(std::max<std::int64_t>(a.startFrame, low));
    out.endFrame = static_cast<std::int32_t>(std::min<std::int64_t>(a.endFrame, high));
    out.capacity = static_cast<std::int32_t>(out.entries.size());
    out.lastFrame = out.entries.back().frame;
    return out;
}

Anchor makeAnchor(std::string id, std::string name, std::vector<AnchorFrameEntry> keys) {
    Anchor a;
    a.id = std::move(id);
    a.name = std::move(name);
    a.entries = std::move(keys);
    if (!a.entries.empty()) {
        a.startFrame = a.entries.front().frame;
        a.endFrame = a.entries.back().frame;
        a.lastFrame = a.endFrame;
    }
    a.capacity = static_cast<std::int32_t>(a.entries.size());
    return a;
}

std::optional<MovieFacts> readMovie(const std::string& path, std::string& why) {
    MovieFacts facts;
    std::string moviePath = path;
    std::string ext = std::filesystem::path(path).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) {
        return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    });
    if (ext == ".mob") {
        std::vector<std::string> messages;
        std::optional<anchors::MovieObject> mob;
        {
            CollectedPrompts prompts(messages);
            mob = anchors::ReadMovieObjectFile(path);
        }
        if (!mob) {
            why = messages.empty() ? fill(text::kCannotRead, {path}) : messages.front();
            return std::nullopt;
        }
        moviePath = mob->MoviePath;
        facts.origin = mob->StartFrame;
    }
    video::OpenStatus status = video::OpenStatus::Ok;
    std::string message;
    const auto source = video::FrameSource::open(moviePath, status, &message);
    if (!source) {
        why = fill(text::kMovieUnreadable, {moviePath, message});
        return std::nullopt;
    }
    const video::MovieInfo& info = source->info();
    facts.file = std::filesystem::path(moviePath).filename().string();
    facts.width = info.width;
    facts.height = info.height;
    facts.fpsNum = info.fpsNum;
    facts.fpsDen = info.fpsDen > 0 ? info.fpsDen : 1;
    facts.frameCount = info.frameCount;
    if (facts.fpsNum <= 0) {
        why = fill(text::kMovieNoRate, {moviePath});
        return std::nullopt;
    }
    return facts;
}

} // namespace qxm::anchortool
