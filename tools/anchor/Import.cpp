#include "tools/anchor/Import.h"

#include "editor/anchors/AnchorRules.h"
#include "platform/codepage/CodePage.h"
#include "player_control/anchors/AnchorGeometry.h"
#include "player_control/anchors/AnchorText.h"
#include "tools/anchor/Text.h"
#include "tools/anchor/ToolText.h"

#include <algorithm>
#include <filesystem>
#include <limits>
#include <set>

namespace qxm::anchortool {
namespace {

namespace cp = qxm::codepage;
using anchors::TextCheck;

// Samples after a key frame that the reduction tries one by one for the next key frame.
constexpr std::size_t kNearSamples = 256;

std::string num(std::int64_t v) {
    return std::to_string(v);
}

// True when interpolating between samples a and b gives back every sample between them.
bool spans(const std::vector<Sample>& s, std::size_t a, std::size_t b) {
    const auto fa = static_cast<std::int32_t>(s[a].frame);
    const auto fb = static_cast<std::int32_t>(s[b].frame);
    const AnchorRect& ra = s[a].rect;
    const AnchorRect& rb = s[b].rect;
    for (std::size_t i = a + 1; i < b; ++i) {
        const auto f = static_cast<std::int32_t>(s[i].frame);
        const AnchorRect& r = s[i].rect;
        if (interpolateAnchorValue(ra.left, rb.left, f, fa, fb) != r.left ||
            interpolateAnchorValue(ra.top, rb.top, f, fa, fb) != r.top ||
            interpolateAnchorValue(ra.right, rb.right, f, fa, fb) != r.right ||
            interpolateAnchorValue(ra.bottom, rb.bottom, f, fa, fb) != r.bottom)
            return false;
    }
    return true;
}

// The text with every character the rule refuses replaced by '_'. The rule is asked about
// each character alone, so the editor's own check decides.
std::string replaceInvalid(std::string_view text, TextCheck (*check)(std::string_view)) {
    std::string out;
    const cp::Charset charset = cp::active();
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t next = cp::next(text, pos, charset);
        const std::string_view c = text.substr(pos, next - pos);
        out.append(check(c) == TextCheck::InvalidChar ? std::string("_") : std::string(c));
        pos = next;
    }
    return out;
}

struct Named {
    Anchor anchor;
    std::string label;
};

void makeNamesValid(std::vector<Named>& all, std::vector<std::string>& warnings) {
    std::set<std::string> taken;
    for (std::size_t i = 0; i < all.size(); ++i) {
        Anchor& a = all[i].anchor;
        const std::string& label = all[i].label;

        std::string id = a.id;
        const char* why = nullptr;
        switch (anchors::CheckAnchorID(id)) {
        case TextCheck::Empty:
            id = "A" + num(std::int64_t(i + 1));
            why = text::kIdReasonEmpty;
            break;
        case TextCheck::TooLong:
            why = text::kIdReasonLong;
            break;
        case TextCheck::InvalidChar:
            why = text::kIdReasonChars;
            break;
        case TextCheck::Ok:
            break;
        }
        id = replaceInvalid(id, anchors::CheckAnchorID);
        id = std::string(cp::cut(id, anchors::kMaxIdBytes));
        if (taken.count(id)) {
            why = text::kIdReasonTaken;
            for (std::int64_t k = 2;; ++k) {
                const std::string suffix = "_" + num(k);
                std::string candidate =
                    std::string(cp::cut(id, anchors::kMaxIdBytes - suffix.size())) + suffix;
                if (!taken.count(candidate)) {
                    id = std::move(candidate);
                    break;
                }
            }
        }
        if (why)
            warnings.push_back(
                fill(text::kIdChanged, {label, quotedText(a.id), quotedText(id), why}));
        taken.insert(id);
        a.id = std::move(id);

        std::string name = a.name;
        why = nullptr;
        switch (anchors::CheckAnchorName(name)) {
        case TextCheck::Empty:
            name = a.id;
            why = text::kNameReasonEmpty;
            break;
        case TextCheck::TooLong:
            why = text::kNameReasonLong;
            break;
        case TextCheck::InvalidChar:
            why = text::kNameReasonChars;
            break;
        case TextCheck::Ok:
            break;
        }
        name = replaceInvalid(name, anchors::CheckAnchorName);
        name = std::string(cp::cut(name, anchors::kMaxNameBytes));
        if (why)
            warnings.push_back(
                fill(text::kNameChanged, {label, quotedText(a.name), quotedText(name), why}));
        a.name = std::move(name);

        // What the player control keeps of them.
        if (a.id.size() > kAnchorIdMaxBytes)
            warnings.push_back(
                fill(text::kPlayerCutsId, {label, quotedText(a.id),
                                           quotedText(cutAnchorText(a.id, kAnchorIdMaxBytes))}));
        if (a.name.size() > kAnchorNameMaxBytes)
            warnings.push_back(fill(text::kPlayerCutsName,
                                    {label, quotedText(a.name),
                                     quotedText(cutAnchorText(a.name, kAnchorNameMaxBytes))}));
    }
}

// Sorts the samples and folds those of one frame into one; false for two different boxes.
bool sortSamples(Track& t, std::vector<std::string>& warnings, std::string& error) {
    std::stable_sort(t.samples.begin(), t.samples.end(),
                     [](const Sample& a, const Sample& b) { return a.frame < b.frame; });
    std::vector<Sample> out;
    out.reserve(t.samples.size());
    for (const Sample& s : t.samples) {
        if (out.empty() || out.back().frame != s.frame) {
            out.push_back(s);
            continue;
        }
        Sample& kept = out.back();
        if (kept.rect == s.rect) {
            kept.key = kept.key || s.key;
        } else if (kept.key != s.key) {
            // A key frame and a box computed from it disagree: the key frame counts.
            if (s.key) kept = s;
            warnings.push_back(fill(text::kKeyOverridesBox, {t.label, num(s.frame)}));
        } else {
            error = fill(text::kTwoBoxes, {t.label, num(s.frame)});
            return false;
        }
    }
    t.samples = std::move(out);
    return true;
}

} // namespace

namespace {

struct FormatName {
    ImportFormat format;
    const char* name;
};
constexpr FormatName kFormatNames[] = {
    {ImportFormat::Cvat, "cvat"}, {ImportFormat::Mot, "mot"}, {ImportFormat::Json, "json"}};

} // namespace

std::optional<ImportFormat> parseImportFormat(std::string_view name) {
    for (const FormatName& f : kFormatNames)
        if (name == f.name) return f.format;
    return std::nullopt;
}

const char* importFormatName(ImportFormat format) {
    for (const FormatName& f : kFormatNames)
        if (f.format == format) return f.name;
    return "";
}

bool readTracks(const std::string& path, const ImportOptions& options, std::vector<Track>& tracks,
                std::vector<std::string>& warnings, std::string& error) {
    if (!readableFile(path)) {
        error = fill(text::kCannotRead, {path});
        return false;
    }
    switch (options.format) {
    case ImportFormat::Cvat:
        return readCvatTracks(path, options.origin, tracks, warnings, error);
    case ImportFormat::Mot:
        return readMotTracks(path, options.origin, tracks, warnings, error);
    case ImportFormat::Json:
        return readJsonTracks(path, tracks, warnings, error);
    }
    return false;
}

std::vector<AnchorFrameEntry> reduceToKeyFrames(const std::vector<Sample>& s) {
    std::vector<AnchorFrameEntry> keys;
    if (s.empty()) return keys;
    const auto entry = [&](std::size_t i) {
        return AnchorFrameEntry{static_cast<std::int32_t>(s[i].frame), s[i].rect};
    };
    keys.push_back(entry(0));
    // nextKey[i]: the first sample from i on that must stay a key frame (the last always does).
    std::vector<std::size_t> nextKey(s.size(), s.size() - 1);
    for (std::size_t i = s.size() - 1; i-- > 0;)
        nextKey[i] = s[i].key ? i : nextKey[i + 1];
    std::size_t a = 0;
    while (a + 1 < s.size()) {
        // The furthest sample up to the next marked key that one straight run from a gives
        // back. A run may fail at one sample and hold at a later one (the key frames the
        // samples were made from), so the near ones are tried one by one from the far end;
        // beyond them, doubling steps and then halving find a far one.
        const std::size_t limit = nextKey[a + 1];
        std::size_t good = a + 1;
        if (spans(s, a, limit)) {
            good = limit;
        } else {
            const std::size_t windowEnd = std::min(limit, a + kNearSamples);
            for (std::size_t b = windowEnd; b > a + 1; --b) {
                if (spans(s, a, b)) {
                    good = b;
                    break;
                }
            }
            if (good == windowEnd) {
                std::size_t bad = limit;
                for (std::size_t step = 2 * kNearSamples;; step *= 2) {
                    const std::size_t probe = a + step;
                    if (probe >= limit) break;
                    if (!spans(s, a, probe)) {
                        bad = probe;
                        break;
                    }
                    good = probe;
                }
                while (bad - good > 1) {
                    const std::size_t mid = good + (bad - good) / 2;
                    if (spans(s, a, mid))
                        good = mid;
                    else
                        bad = mid;
                }
            }
        }
        keys.push_back(entry(good));
        a = good;
    }
    return keys;
}

bool buildAnchors(std::vector<Track> tracks, std::vector<Anchor>& anchors,
                  std::vector<std::string>& warnings, std::string& error) {
    constexpr std::int64_t kLastFrame = std::numeric_limits<std::int32_t>::max();
    std::vector<Named> built;
    for (Track& t : tracks) {
        const auto outside =
            std::remove_if(t.samples.begin(), t.samples.end(),
                           [](const Sample& s) { return s.frame < 0 || s.frame > kLastFrame; });
        if (outside != t.samples.end()) {
            warnings.push_back(fill(text::kFramesOutsideRange, {t.label}));
            t.samples.erase(outside, t.samples.end());
        }
        if (t.samples.empty()) {
            warnings.push_back(fill(text::kTrackEmpty, {t.label}));
            continue;
        }
        if (!sortSamples(t, warnings, error)) return false;

        std::vector<std::vector<Sample>> pieces(1);
        for (const Sample& s : t.samples) {
            if (t.splitAtGaps && !pieces.back().empty() && s.frame > pieces.back().back().frame + 1)
                pieces.emplace_back();
            pieces.back().push_back(s);
        }
        if (pieces.size() > 1)
            warnings.push_back(
                fill(text::kTrackSplit, {t.label, num(std::int64_t(pieces.size()))}));

        for (const std::vector<Sample>& piece : pieces) {
            Anchor a = makeAnchor(t.id, t.name, reduceToKeyFrames(piece));
            if (pieces.size() == 1 && (t.startFrame || t.endFrame)) {
                const std::int32_t start = t.startFrame.value_or(a.startFrame);
                const std::int32_t end = t.endFrame.value_or(a.endFrame);
                if (start < 0 || start > a.entries.front().frame || end < a.entries.back().frame) {
                    error = fill(text::kRangeMismatch,
                                 {t.label, num(start), num(end), num(a.entries.front().frame),
                                  num(a.entries.back().frame)});
                    return false;
                }
                a.startFrame = start;
                a.endFrame = end;
            }
            built.push_back({std::move(a), t.label});
            if (built.size() > anchors::kMaxObject) {
                error = fill(text::kTooManyAnchors, {num(std::int64_t(anchors::kMaxObject))});
                return false;
            }
        }
    }
    makeNamesValid(built, warnings);
    anchors.clear();
    for (Named& n : built)
        anchors.push_back(std::move(n.anchor));
    return true;
}

bool writeAnchors(const std::string& path, const std::vector<Anchor>& list, std::string& error) {
    const std::filesystem::path target(path);
    const std::string fileName = target.filename().string();
    if (fileName.size() <= 4 || fileName.substr(fileName.size() - 4) != ".obj") {
        error = fill(text::kOutputNotObj, {path});
        return false;
    }
    if (list.empty()) {
        error = text::kNothingToWrite;
        return false;
    }
    std::vector<anchors::AnchorRecord> records;
    records.reserve(list.size());
    for (const Anchor& a : list) {
        anchors::AnchorRecord r;
        r.ID = a.id;
        r.Name = a.name;
        r.StartFrame = a.startFrame;
        r.EndFrame = a.endFrame;
        r.Entries.reserve(a.entries.size());
        for (const AnchorFrameEntry& e : a.entries)
            r.Entries.push_back({e.frame, e.rect.left, e.rect.top, e.rect.right, e.rect.bottom});
        records.push_back(std::move(r));
    }
    const std::string folder =
        target.has_parent_path() ? target.parent_path().string() : std::string(".");
    std::vector<std::string> messages;
    bool written = false;
    {
        CollectedPrompts prompts(messages);
        written = anchors::WriteAnchorObjectFile(folder, fileName.substr(0, fileName.size() - 4),
                                                 std::move(records));
    }
    if (!written) {
        error = fill(text::kWriteFailed, {path, messages.empty() ? "" : messages.front()});
        return false;
    }

    // The file must play as imported.
    const PlayerReading back = readWithPlayer(path);
    if (back.result != 0) {
        error = fill(text::kPlayerRefusesWritten, {path, num(std::int64_t(back.problem.line))});
        return false;
    }
    if (back.anchors.size() != list.size()) {
        error = fill(text::kWrittenDiffers, {path});
        return false;
    }
    for (std::size_t i = 0; i < list.size(); ++i) {
        const Anchor& a = list[i];
        const Anchor& b = back.anchors[i];
        bool same = a.startFrame == b.startFrame && a.endFrame == b.endFrame &&
                    a.entries.size() == b.entries.size();
        for (std::size_t k = 0; same && k < a.entries.size(); ++k)
            same =
                a.entries[k].frame == b.entries[k].frame && a.entries[k].rect == b.entries[k].rect;
        if (!same) {
            error = fill(text::kWrittenDiffers, {path});
            return false;
        }
    }
    return true;
}

} // namespace qxm::anchortool
