#include "editor/anchors/MovieObjectFile.h"

#include "editor/anchors/AnchorTexts.h"
#include "editor/anchors/TextLines.h"
#include "platform/codepage/CodePage.h"
#include "platform/prompter/Prompter.h"

#include <algorithm>
#include <cstdio>
#include <dirent.h>
#include <memory>
#include <sys/stat.h>
#include <vector>

namespace qxm::anchors {
namespace {

namespace cp = qxm::codepage;

constexpr std::size_t kMobLineBytes = 255;

struct DirCloser {
    void operator()(DIR* d) const { closedir(d); }
};

bool isRegularFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

bool digitsOnly(std::string_view v) {
    return !v.empty() &&
           std::all_of(v.begin(), v.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string join(std::string_view folder, std::string_view name) {
    std::string p(folder);
    if (!p.empty() && p.back() != '/') p += '/';
    p += name;
    return p;
}

// The entry of folder whose name equals part without regard to ASCII letter case.
std::optional<std::string> findIgnoringCase(const std::string& folder, std::string_view part) {
    std::unique_ptr<DIR, DirCloser> dir(opendir(folder.empty() ? "/" : folder.c_str()));
    if (!dir) return std::nullopt;
    std::vector<std::string> matches;
    while (const dirent* e = readdir(dir.get()))
        if (cp::equalsIgnoreAsciiCase(e->d_name, part)) matches.emplace_back(e->d_name);
    if (matches.empty()) return std::nullopt;
    std::sort(matches.begin(), matches.end());
    return matches.front();
}

void fail(const char* message) {
    qxm::prompt(message, text::kProgramTitle);
}

} // namespace

std::optional<std::string> FindMovieFile(std::string_view folder, std::string_view name) {
    const cp::Charset charset = cp::active();
    std::string relative = cp::toLowerAscii(name, charset);
    for (std::size_t pos = 0; pos < relative.size(); pos = cp::next(relative, pos, charset))
        if (!cp::isMultibyteAt(relative, pos, charset) && relative[pos] == '\\')
            relative[pos] = '/';

    const std::string direct = join(folder, relative);
    if (isRegularFile(direct)) return direct;

    // Walk the parts, taking each as written when it exists and otherwise the entry of its
    // folder that matches it without case.
    std::string path(folder);
    std::size_t start = 0;
    while (start <= relative.size()) {
        std::size_t end = relative.find('/', start);
        if (end == std::string::npos) end = relative.size();
        const std::string_view part = std::string_view(relative).substr(start, end - start);
        start = end + 1;
        if (part.empty()) continue;
        std::string candidate = join(path, part);
        if (!exists(candidate)) {
            const auto found = findIgnoringCase(path, part);
            if (!found) return std::nullopt;
            candidate = join(path, *found);
        }
        path = std::move(candidate);
    }
    if (isRegularFile(path)) return path;
    return std::nullopt;
}

std::optional<MovieObject> ReadMovieObjectFile(const std::string& mobPath) {
    FilePtr file = OpenTextFile(mobPath);
    if (!file) return std::nullopt;

    bool haveMovie = false, haveStart = false, haveEnd = false;
    std::string movieName;
    int32_t startFrame = 0, endFrame = 0;

    LineReader reader(file.get(), kMobLineBytes);
    std::string piece;
    while (reader.next(piece)) {
        const std::string_view line = withoutLineFeed(piece);
        if (line.empty()) continue;
        const std::size_t eq = line.find('=');
        const bool hasValue = eq != std::string_view::npos && eq + 1 < line.size();
        const std::string_view value = hasValue ? line.substr(eq + 1) : std::string_view();
        if (line.starts_with("MovieFile")) {
            haveMovie = hasValue;
            if (hasValue) movieName = value;
        } else if (line.starts_with("StartFrame")) {
            haveStart = digitsOnly(value);
            if (haveStart) startFrame = ParseDecimal(value);
        } else if (line.starts_with("EndFrame")) {
            haveEnd = digitsOnly(value);
            if (haveEnd) endFrame = ParseDecimal(value);
        }
    }
    file.reset();

    if (!haveMovie) return fail(text::kBadMovieName), std::nullopt;
    if (!haveStart) return fail(text::kBadStartFrame), std::nullopt;
    if (!haveEnd) return fail(text::kBadEndFrame), std::nullopt;

    const cp::Charset charset = cp::active();
    const std::string lowered = cp::toLowerAscii(movieName, charset);
    const std::size_t dot = cp::findLastOf(lowered, ".", charset);
    const std::string_view ext =
        dot == std::string::npos ? std::string_view() : std::string_view(lowered).substr(dot);
    if (ext != ".avi" && ext != ".mpg" && ext != ".mov")
        return fail(text::kBadMovieExtension), std::nullopt;

    const std::size_t slash = cp::findLastOf(mobPath, "/", charset);
    const std::string folder =
        slash == std::string::npos ? std::string() : mobPath.substr(0, slash + 1);
    auto moviePath = FindMovieFile(folder.empty() ? "." : folder, movieName);
    if (!moviePath) return fail(text::kBadMovieName), std::nullopt;

    if (startFrame >= endFrame) return fail(text::kBadFrameRange), std::nullopt;
    return MovieObject{std::move(*moviePath), startFrame, endFrame};
}

} // namespace qxm::anchors
