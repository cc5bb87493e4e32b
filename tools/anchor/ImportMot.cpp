// MOT Challenge ground truth: one line per box,
//   frame,id,bb_left,bb_top,bb_width,bb_height[,conf[,class|x[,visibility|y[,z]]]]
// with 1-based frames. Only the first six columns carry what an anchor needs.
#include "tools/anchor/Import.h"

#include "editor/anchors/AnchorTable.h"
#include "platform/text/Trim.h"
#include "tools/anchor/Text.h"
#include "tools/anchor/ToolText.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <map>
#include <memory>

namespace qxm::anchortool {
namespace {

constexpr std::size_t kMaxLine = 4096;
constexpr int kMinColumns = 6;
constexpr int kMaxColumns = 10;

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

// Blanks around a field; a carriage return may end a line written elsewhere.
std::string_view trimmed(std::string_view s) {
    return trimRight(trimLeft(s), " \t\r");
}

bool parseNumber(std::string_view s, double& out) {
    s = trimmed(s);
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    const auto r = std::from_chars(s.data(), s.data() + s.size(), out);
    return r.ec == std::errc() && r.ptr == s.data() + s.size() && std::isfinite(out);
}

bool toInt32(double v, std::int32_t& out) {
    const double r = std::round(v);
    if (r < std::numeric_limits<std::int32_t>::min() ||
        r > std::numeric_limits<std::int32_t>::max())
        return false;
    out = static_cast<std::int32_t>(r);
    return true;
}

} // namespace

bool readMotTracks(const std::string& path, std::int64_t origin, std::vector<Track>& tracks,
                   std::vector<std::string>& warnings, std::string& error) {
    (void)warnings;
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        error = fill(text::kCannotRead, {path});
        return false;
    }
    std::map<std::int64_t, std::size_t> trackOf;
    std::string line;
    std::size_t lineNo = 0;
    const auto fail = [&](const char* pattern, std::initializer_list<std::string_view> args) {
        error = path + ":" + std::to_string(lineNo) + ": " + fill(pattern, args);
        return false;
    };
    for (bool more = true; more;) {
        line.clear();
        int c;
        while ((c = std::getc(file.get())) != EOF && c != '\n') {
            if (line.size() == kMaxLine) {
                ++lineNo;
                return fail(text::kMotLongLine, {std::to_string(kMaxLine)});
            }
            line.push_back(static_cast<char>(c));
        }
        more = c != EOF;
        ++lineNo;
        const std::string_view content = trimmed(line);
        if (content.empty()) continue;
        if (content.find('\0') != std::string_view::npos) return fail(text::kMotBinary, {});

        double v[kMaxColumns];
        int columns = 0;
        for (std::size_t pos = 0;; ++columns) {
            const std::size_t comma = content.find(',', pos);
            const std::string_view field = content.substr(pos, comma - pos);
            if (columns == kMaxColumns) return fail(text::kMotColumns, {">10"});
            if (!parseNumber(field, v[columns]))
                return fail(text::kMotNumber,
                            {std::to_string(columns + 1), quotedText(trimmed(field))});
            if (comma == std::string_view::npos) {
                ++columns;
                break;
            }
            pos = comma + 1;
        }
        if (columns < kMinColumns) return fail(text::kMotColumns, {std::to_string(columns)});
        if (v[0] != std::floor(v[0]) || v[0] < 1 || v[0] > 4294967296.0)
            return fail(text::kMotFrame,
                        {quotedText(trimmed(content.substr(0, content.find(','))))});
        if (v[1] != std::floor(v[1]) || v[1] < 0 || v[1] > 4294967296.0)
            return fail(text::kMotId, {});
        std::int32_t left, top, width, height;
        if (!toInt32(v[2], left) || !toInt32(v[3], top) || !toInt32(v[4], width) ||
            !toInt32(v[5], height))
            return fail(text::kMotBox, {});
        const auto id = static_cast<std::int64_t>(v[1]);
        auto [it, fresh] = trackOf.emplace(id, tracks.size());
        if (fresh) {
            if (tracks.size() == anchors::kMaxObject) {
                error = fill(text::kTooManyTracks, {path, std::to_string(anchors::kMaxObject)});
                return false;
            }
            Track t;
            t.label = fill(text::kMotTrackLabel, {std::to_string(id)});
            t.id = std::to_string(id);
            t.name = fill(text::kMotTrackName, {std::to_string(id)});
            t.splitAtGaps = true;
            tracks.push_back(std::move(t));
        }
        const std::int64_t right = std::int64_t(left) + width, bottom = std::int64_t(top) + height;
        if (right > std::numeric_limits<std::int32_t>::max() ||
            bottom > std::numeric_limits<std::int32_t>::max() ||
            right < std::numeric_limits<std::int32_t>::min() ||
            bottom < std::numeric_limits<std::int32_t>::min())
            return fail(text::kMotBox, {});
        tracks[it->second].samples.push_back(
            {static_cast<std::int64_t>(v[0]) - 1 - origin,
             {left, top, static_cast<std::int32_t>(right), static_cast<std::int32_t>(bottom)},
             false});
    }
    if (std::ferror(file.get())) {
        error = fill(text::kCannotRead, {path});
        return false;
    }
    return true;
}

} // namespace qxm::anchortool
