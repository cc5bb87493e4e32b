#include "tools/anchor/Export.h"

#include "tools/anchor/Text.h"
#include "tools/anchor/ToolText.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <limits>
#include <map>
#include <queue>

namespace qxm::anchortool {
namespace {

std::string num(std::int64_t v) {
    return std::to_string(v);
}

// Texts of one anchor in UTF-8, with a warning when the code page's bytes did not convert.
struct Utf8Texts {
    std::string id;
    std::string name;
};

std::vector<Utf8Texts> utf8Texts(const std::vector<Anchor>& anchors,
                                 std::vector<std::string>& warnings) {
    std::vector<Utf8Texts> out;
    out.reserve(anchors.size());
    for (const Anchor& a : anchors) {
        bool replaced = false;
        out.push_back({toUtf8(a.id, &replaced), toUtf8(a.name, &replaced)});
        if (replaced) warnings.push_back(fill(text::kNotUtf8, {quotedText(a.id)}));
    }
    return out;
}

// The anchors cut to the frames the export can show: movie frames from 0 on and, with a movie,
// up to its last frame.
std::vector<Anchor> clipToMovie(const std::vector<Anchor>& anchors, const ExportOptions& o,
                                std::vector<std::string>& warnings) {
    const std::int64_t low = -o.origin;
    const std::int64_t high = o.movie ? o.movie->frameCount - 1 - o.origin
                                      : std::int64_t(std::numeric_limits<std::int32_t>::max());
    std::vector<Anchor> out;
    out.reserve(anchors.size());
    for (const Anchor& a : anchors) {
        if (a.entries.empty()) {
            warnings.push_back(fill(text::kAnchorWithoutKeys, {quotedText(a.id)}));
            continue;
        }
        const std::int64_t first = a.entries.front().frame, last = a.entries.back().frame;
        std::optional<Anchor> clipped = clipAnchor(a, low, high);
        if (!clipped) {
            warnings.push_back(fill(text::kAnchorOutsideMovie, {quotedText(a.id)}));
            continue;
        }
        if (first < low) warnings.push_back(fill(text::kFramesBeforeMovie, {quotedText(a.id)}));
        if (last > high)
            warnings.push_back(
                fill(text::kFramesAfterMovie,
                     {quotedText(a.id), num(high + 1 + o.origin), num(last + o.origin)}));
        out.push_back(std::move(*clipped));
    }
    return out;
}

std::string utcNow(const char* format) {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    gmtime_r(&now, &tm);
    char buffer[64];
    std::strftime(buffer, sizeof buffer, format, &tm);
    return buffer;
}

std::string jsonString(std::string_view utf8) {
    std::string s = "\"";
    appendJsonEscaped(s, utf8);
    return s + '"';
}

void putJsonString(Output& out, std::string_view utf8) {
    out.put(jsonString(utf8));
}

void putRectArray(Output& out, std::int64_t frame, const AnchorRect& r) {
    out.put('[').putInt(frame).put(',').putInt(r.left).put(',').putInt(r.top).put(',');
    out.putInt(r.right).put(',').putInt(r.bottom).put(']');
}

// ---- json ------------------------------------------------------------------------------

void writeJson(const std::vector<Anchor>& anchors, const ExportOptions& o, Output& out,
               std::vector<std::string>& warnings) {
    const std::vector<Utf8Texts> texts = utf8Texts(anchors, warnings);
    out.put("{\n  \"format\": \"").put(text::kJsonFormatName).put("\",\n  \"version\": ");
    out.putInt(text::kJsonFormatVersion).put(",\n  \"source\": ");
    putJsonString(out, toUtf8(o.source));
    out.put(",\n  \"origin\": ").putInt(o.origin);
    if (o.movie) {
        out.put(",\n  \"movie\": {\"file\": ");
        putJsonString(out, toUtf8(o.movie->file));
        out.put(", \"width\": ").putInt(o.movie->width).put(", \"height\": ");
        out.putInt(o.movie->height).put(", \"frameRate\": {\"num\": ").putInt(o.movie->fpsNum);
        out.put(", \"den\": ").putInt(o.movie->fpsDen).put("}, \"frameCount\": ");
        out.putInt(o.movie->frameCount).put('}');
    }
    out.put(",\n  \"anchors\": [");
    for (std::size_t i = 0; i < anchors.size(); ++i) {
        const Anchor& a = anchors[i];
        out.put(i ? ",\n    {\n      \"id\": " : "\n    {\n      \"id\": ");
        putJsonString(out, texts[i].id);
        out.put(",\n      \"name\": ");
        putJsonString(out, texts[i].name);
        out.put(",\n      \"startFrame\": ").putInt(a.startFrame);
        out.put(",\n      \"endFrame\": ").putInt(a.endFrame);
        out.put(",\n      \"keyFrames\": [");
        for (std::size_t k = 0; k < a.entries.size(); ++k) {
            out.put(k ? ",\n        " : "\n        ");
            putRectArray(out, a.entries[k].frame, a.entries[k].rect);
        }
        out.put(a.entries.empty() ? "]" : "\n      ]");
        if (o.frames) {
            out.put(",\n      \"frames\": [");
            bool firstFrame = true;
            forEachFrame(a, [&](std::int32_t f, const AnchorRect& r, bool) {
                out.put(firstFrame ? "\n        " : ",\n        ");
                firstFrame = false;
                putRectArray(out, f, r);
            });
            out.put(firstFrame ? "]" : "\n      ]");
        }
        out.put("\n    }");
    }
    out.put(anchors.empty() ? "]\n}\n" : "\n  ]\n}\n");
}

// ---- cvat ------------------------------------------------------------------------------

std::string xmlText(std::string_view utf8) {
    std::string s;
    appendXmlEscaped(s, utf8);
    return s;
}

void putXmlText(Output& out, std::string_view utf8) {
    out.put(xmlText(utf8));
}

void putCoordinate(Output& out, std::int32_t v) {
    out.putInt(v).put(".00");
}

// The end of every box of a track: its ID attribute (escaped once per track).
std::string boxTail(std::string_view id) {
    return std::string("\" z_order=\"0\">\n      <attribute name=\"") + text::kCvatIdAttribute +
           "\">" + xmlText(id) + "</attribute>\n    </box>\n";
}

void putBox(Output& out, std::int64_t frame, const AnchorRect& r, bool outside, bool key,
            const std::string& tail) {
    out.put("    <box frame=\"")
        .putInt(frame)
        .put(outside ? "\" outside=\"1\"" : "\" outside=\"0\"");
    out.put(key ? " occluded=\"0\" keyframe=\"1\" xtl=\""
                : " occluded=\"0\" keyframe=\"0\" xtl=\"");
    putCoordinate(out, r.left);
    out.put("\" ytl=\"");
    putCoordinate(out, r.top);
    out.put("\" xbr=\"");
    putCoordinate(out, r.right);
    out.put("\" ybr=\"");
    putCoordinate(out, r.bottom);
    out.put(tail);
}

void writeCvat(const std::vector<Anchor>& all, const ExportOptions& o, Output& out,
               std::vector<std::string>& warnings) {
    const MovieFacts& movie = *o.movie;
    const std::vector<Anchor> anchors = clipToMovie(all, o, warnings);
    const std::vector<Utf8Texts> texts = utf8Texts(anchors, warnings);
    std::vector<std::string> labels; // the anchor names, each once, in file order
    for (const Utf8Texts& t : texts)
        if (std::find(labels.begin(), labels.end(), t.name) == labels.end())
            labels.push_back(t.name);
    const std::string now = utcNow("%Y-%m-%d %H:%M:%S.000000+00:00");
    std::string taskName = movie.file;
    if (const auto dot = taskName.rfind('.'); dot != std::string::npos && dot > 0)
        taskName.resize(dot);

    out.put(
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<annotations>\n  <version>1.1</version>\n");
    out.put("  <meta>\n    <task>\n      <id>1</id>\n      <name>");
    putXmlText(out, toUtf8(taskName));
    out.put("</name>\n      <size>").putInt(movie.frameCount).put("</size>\n");
    out.put("      <mode>interpolation</mode>\n      <overlap>0</overlap>\n");
    out.put("      <bugtracker></bugtracker>\n      <flipped>False</flipped>\n");
    out.put("      <created>").put(now).put("</created>\n      <updated>").put(now);
    out.put("</updated>\n      <labels>\n");
    for (const std::string& label : labels) {
        out.put("        <label>\n          <name>");
        putXmlText(out, label);
        out.put("</name>\n          <attributes>\n            <attribute>\n              <name>");
        out.put(text::kCvatIdAttribute);
        out.put("</name>\n              <mutable>False</mutable>\n");
        out.put("              <input_type>text</input_type>\n");
        out.put("              <default_value></default_value>\n              <values></values>\n");
        out.put("            </attribute>\n          </attributes>\n        </label>\n");
    }
    out.put("      </labels>\n      <segments>\n        <segment>\n          <id>1</id>\n");
    out.put("          <start>0</start>\n          <stop>").putInt(movie.frameCount - 1);
    out.put("</stop>\n          <url></url>\n        </segment>\n      </segments>\n");
    out.put("      <owner>\n        <username></username>\n        <email></email>\n");
    out.put("      </owner>\n      <original_size>\n        <width>").putInt(movie.width);
    out.put("</width>\n        <height>").putInt(movie.height);
    out.put("</height>\n      </original_size>\n    </task>\n    <dumped>").put(now);
    out.put("</dumped>\n  </meta>\n");

    for (std::size_t i = 0; i < anchors.size(); ++i) {
        const Anchor& a = anchors[i];
        out.put("  <track id=\"").putInt(std::int64_t(i)).put("\" label=\"");
        putXmlText(out, texts[i].name);
        out.put("\" source=\"manual\">\n");
        const std::string tail = boxTail(texts[i].id);
        if (o.frames) {
            forEachFrame(a, [&](std::int32_t f, const AnchorRect& r, bool key) {
                putBox(out, f + o.origin, r, false, key, tail);
            });
        } else {
            for (const AnchorFrameEntry& e : a.entries)
                putBox(out, e.frame + o.origin, e.rect, false, true, tail);
        }
        // The box leaves the picture after its last frame, where the movie goes on.
        const std::int64_t after = a.entries.back().frame + o.origin + 1;
        if (after < movie.frameCount) putBox(out, after, a.entries.back().rect, true, true, tail);
        out.put("  </track>\n");
    }
    out.put("</annotations>\n");
}

// ---- mot -------------------------------------------------------------------------------

void writeMot(const std::vector<Anchor>& all, const ExportOptions& o, Output& out,
              std::vector<std::string>& warnings) {
    const std::vector<Anchor> anchors = clipToMovie(all, o, warnings);
    for (std::size_t i = 0; i < anchors.size(); ++i) {
        const auto track = static_cast<std::int64_t>(i + 1);
        forEachFrame(anchors[i], [&](std::int32_t f, const AnchorRect& r, bool) {
            out.putInt(f + o.origin + 1).put(',').putInt(track).put(',').putInt(r.left).put(',');
            out.putInt(r.top).put(',').putInt(std::int64_t(r.right) - r.left).put(',');
            out.putInt(std::int64_t(r.bottom) - r.top).put(",1,-1,-1,-1\n");
        });
    }
}

// ---- webvtt ----------------------------------------------------------------------------

// Milliseconds at which a movie frame begins, rounded to the nearest.
std::int64_t frameMs(std::int64_t frame, const MovieFacts& m) {
    using u128 = unsigned __int128;
    const u128 scaled = u128(std::uint64_t(frame)) * 1000u * u128(std::uint32_t(m.fpsDen));
    const u128 num = u128(std::uint32_t(m.fpsNum));
    return static_cast<std::int64_t>((2 * scaled + num) / (2 * num));
}

// hh:mm:ss.ttt, hours of two digits or more.
void putTimestamp(Output& out, std::int64_t ms) {
    const std::int64_t hours = ms / 3600000;
    if (hours < 10) out.put('0');
    out.putInt(hours);
    const int parts[3] = {int(ms / 60000 % 60), int(ms / 1000 % 60), int(ms % 1000)};
    const char text[10] = {':',
                           char('0' + parts[0] / 10),
                           char('0' + parts[0] % 10),
                           ':',
                           char('0' + parts[1] / 10),
                           char('0' + parts[1] % 10),
                           '.',
                           char('0' + parts[2] / 100),
                           char('0' + parts[2] / 10 % 10),
                           char('0' + parts[2] % 10)};
    out.put(std::string_view(text, sizeof text));
}

// A JSON string for a cue payload, which must not hold "-->": '>' goes as an escape.
std::string payloadString(std::string_view utf8) {
    std::string escaped;
    appendJsonEscaped(escaped, utf8);
    std::string out = "\"";
    for (const char c : escaped)
        out += c == '>' ? std::string("\\u003E") : std::string(1, c);
    return out + '"';
}

void writeWebVtt(const std::vector<Anchor>& all, const ExportOptions& o, Output& out,
                 std::vector<std::string>& warnings) {
    const MovieFacts& movie = *o.movie;
    const std::vector<Anchor> anchors = clipToMovie(all, o, warnings);
    const std::vector<Utf8Texts> texts = utf8Texts(anchors, warnings);
    out.put("WEBVTT\n\nNOTE\n");
    out.put(fill(text::kWebVttNote, {num(movie.fpsNum), num(movie.fpsDen)}));
    out.put("\n\n");

    // One cursor per anchor at the first frame of its next run; cues leave in the order of
    // their start, anchors in file order at equal starts.
    struct Cursor {
        std::int64_t frame;
        std::size_t anchor;
        bool operator>(const Cursor& b) const {
            return frame != b.frame ? frame > b.frame : anchor > b.anchor;
        }
    };
    std::priority_queue<Cursor, std::vector<Cursor>, std::greater<Cursor>> next;
    std::vector<std::string> prefixes; // {"id":...,"name":...,"firstFrame": of each anchor
    for (std::size_t i = 0; i < anchors.size(); ++i) {
        next.push({anchors[i].entries.front().frame, i});
        prefixes.push_back("{\"id\":" + payloadString(texts[i].id) +
                           ",\"name\":" + payloadString(texts[i].name) + ",\"firstFrame\":");
    }
    while (!next.empty()) {
        const Cursor c = next.top();
        next.pop();
        const Anchor& a = anchors[c.anchor];
        const std::int64_t last = a.entries.back().frame;
        AnchorRect rect, following;
        anchorRectAt(a, static_cast<std::int32_t>(c.frame), rect);
        std::int64_t end = c.frame;
        while (end < last && anchorRectAt(a, static_cast<std::int32_t>(end + 1), following) &&
               following == rect)
            ++end;
        const std::int64_t startMs = frameMs(c.frame + o.origin, movie);
        const std::int64_t endMs = std::max(frameMs(end + 1 + o.origin, movie), startMs + 1);
        putTimestamp(out, startMs);
        out.put(" --> ");
        putTimestamp(out, endMs);
        out.put('\n').put(prefixes[c.anchor]).putInt(c.frame + o.origin).put(",\"lastFrame\":");
        out.putInt(end + o.origin).put(",\"left\":").putInt(rect.left).put(",\"top\":");
        out.putInt(rect.top).put(",\"right\":").putInt(rect.right).put(",\"bottom\":");
        out.putInt(rect.bottom).put("}\n\n");
        if (end < last) next.push({end + 1, c.anchor});
    }
}

// ---- coco ------------------------------------------------------------------------------

void writeCoco(const std::vector<Anchor>& all, const ExportOptions& o, Output& out,
               std::vector<std::string>& warnings) {
    const MovieFacts& movie = *o.movie;
    const std::vector<Anchor> anchors = clipToMovie(all, o, warnings);
    const std::vector<Utf8Texts> texts = utf8Texts(anchors, warnings);
    std::map<std::string, std::int64_t> categoryOf;
    std::vector<const std::string*> categories;
    for (const Utf8Texts& t : texts)
        if (categoryOf.emplace(t.name, std::int64_t(categories.size() + 1)).second)
            categories.push_back(&t.name);
    std::string stem = movie.file;
    if (const auto dot = stem.rfind('.'); dot != std::string::npos && dot > 0) stem.resize(dot);
    const std::string stemUtf8 = toUtf8(stem);

    out.put("{\n  \"info\": {\"description\": ");
    putJsonString(out, toUtf8(fill(text::kCocoDescription, {o.source})));
    out.put(", \"version\": \"1.0\", \"year\": ").put(utcNow("%Y"));
    out.put(", \"date_created\": \"").put(utcNow("%Y-%m-%dT%H:%M:%SZ")).put("\"},\n");
    out.put("  \"licenses\": [],\n  \"categories\": [");
    for (std::size_t c = 0; c < categories.size(); ++c) {
        out.put(c ? ",\n    {\"id\": " : "\n    {\"id\": ").putInt(std::int64_t(c + 1));
        out.put(", \"name\": ");
        putJsonString(out, *categories[c]);
        out.put(", \"supercategory\": \"anchor\"}");
    }
    out.put(categories.empty() ? "],\n" : "\n  ],\n");
    char fps[32];
    std::snprintf(fps, sizeof fps, "%.6g", double(movie.fpsNum) / movie.fpsDen);
    out.put("  \"videos\": [{\"id\": 1, \"name\": ");
    putJsonString(out, toUtf8(movie.file));
    out.put(", \"width\": ").putInt(movie.width).put(", \"height\": ").putInt(movie.height);
    out.put(", \"fps\": ").put(fps).put(", \"length\": ").putInt(movie.frameCount).put("}],\n");
    out.put("  \"images\": [");
    char fileName[32];
    for (std::int64_t f = 0; f < movie.frameCount; ++f) {
        std::snprintf(fileName, sizeof fileName, "/frame-%06lld.ppm", static_cast<long long>(f));
        out.put(f ? ",\n    {\"id\": " : "\n    {\"id\": ").putInt(f + 1);
        out.put(", \"video_id\": 1, \"frame_id\": ").putInt(f).put(", \"frame_index\": ").putInt(f);
        out.put(", \"file_name\": ");
        putJsonString(out, stemUtf8 + fileName);
        out.put(", \"width\": ").putInt(movie.width).put(", \"height\": ").putInt(movie.height);
        out.put('}');
    }
    out.put(movie.frameCount > 0 ? "\n  ],\n  \"tracks\": [" : "],\n  \"tracks\": [");
    for (std::size_t i = 0; i < anchors.size(); ++i) {
        out.put(i ? ",\n    {\"id\": " : "\n    {\"id\": ").putInt(std::int64_t(i + 1));
        out.put(", \"category_id\": ").putInt(categoryOf[texts[i].name]);
        out.put(", \"video_id\": 1, \"anchor_id\": ");
        putJsonString(out, texts[i].id);
        out.put(", \"name\": ");
        putJsonString(out, texts[i].name);
        out.put('}');
    }
    out.put(anchors.empty() ? "],\n  \"annotations\": [" : "\n  ],\n  \"annotations\": [");
    std::int64_t id = 0;
    for (std::size_t i = 0; i < anchors.size(); ++i) {
        const std::int64_t category = categoryOf[texts[i].name];
        const auto track = std::int64_t(i + 1);
        forEachFrame(anchors[i], [&](std::int32_t f, const AnchorRect& r, bool) {
            const std::int64_t w = std::int64_t(r.right) - r.left;
            const std::int64_t h = std::int64_t(r.bottom) - r.top;
            out.put(id ? ",\n    {\"id\": " : "\n    {\"id\": ");
            out.putInt(++id);
            out.put(", \"image_id\": ").putInt(f + o.origin + 1);
            out.put(", \"video_id\": 1, \"track_id\": ").putInt(track);
            out.put(", \"instance_id\": ")
                .putInt(track)
                .put(", \"category_id\": ")
                .putInt(category);
            out.put(", \"bbox\": [").putInt(r.left).put(", ").putInt(r.top).put(", ").putInt(w);
            out.put(", ").putInt(h).put("], \"area\": ").putInt(w > 0 && h > 0 ? w * h : 0);
            out.put(", \"iscrowd\": 0}");
        });
    }
    out.put(id ? "\n  ]\n}\n" : "]\n}\n");
}

using Writer = void (*)(const std::vector<Anchor>&, const ExportOptions&, Output&,
                        std::vector<std::string>&);

// One row a format: its name on the command line, whether it needs the movie's frame size and
// rate, and its writer.
struct FormatRow {
    ExportFormat format;
    const char* name;
    bool needsMovie;
    Writer write;
};
constexpr FormatRow kFormats[] = {
    {ExportFormat::Json, "json", false, writeJson},
    {ExportFormat::Cvat, "cvat", true, writeCvat},
    {ExportFormat::Mot, "mot", false, writeMot},
    {ExportFormat::WebVtt, "webvtt", true, writeWebVtt},
    {ExportFormat::Coco, "coco", true, writeCoco},
};

const FormatRow& rowOf(ExportFormat format) {
    for (const FormatRow& row : kFormats)
        if (row.format == format) return row;
    return kFormats[0];
}

} // namespace

std::optional<ExportFormat> parseExportFormat(std::string_view name) {
    for (const FormatRow& row : kFormats)
        if (name == row.name) return row.format;
    return std::nullopt;
}

const char* exportFormatName(ExportFormat format) {
    return rowOf(format).name;
}

bool exportNeedsMovie(ExportFormat format) {
    return rowOf(format).needsMovie;
}

void exportAnchors(const std::vector<Anchor>& anchors, const ExportOptions& options, Output& out,
                   std::vector<std::string>& warnings) {
    rowOf(options.format).write(anchors, options, out, warnings);
}

} // namespace qxm::anchortool
