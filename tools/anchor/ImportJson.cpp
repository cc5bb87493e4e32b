// The tool's own JSON (docs/anchors.schema.json): anchors with their range, key frames and,
// optionally, every frame. Key frames stay key frames; frames add what they hold beyond them.
#include "tools/anchor/Import.h"

#include "editor/anchors/AnchorTable.h"
#include "tools/anchor/JsonReader.h"
#include "tools/anchor/Text.h"
#include "tools/anchor/ToolText.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <memory>

namespace qxm::anchortool {
namespace {

using Token = JsonReader::Token;

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

class JsonImport {
public:
    JsonImport(JsonReader& json, const std::string& path, std::vector<Track>& tracks,
               std::vector<std::string>& warnings, std::string& error)
        : json_(json), path_(path), tracks_(tracks), warnings_(warnings), error_(error) {}

    bool run() {
        Token t;
        if (!next(t)) return false;
        if (t != Token::BeginObject) return failHere(text::kJsonNotOurs);
        bool format = false, anchors = false;
        for (;;) {
            if (!next(t)) return false;
            if (t == Token::EndObject) break;
            const std::string key = json_.text();
            if (key == "format") {
                if (!next(t)) return false;
                if (t != Token::String || json_.text() != text::kJsonFormatName)
                    return failHere(text::kJsonNotOurs);
                format = true;
            } else if (key == "version") {
                double v = 0;
                if (!number(v)) return false;
                if (v != std::floor(v) || v < 1) return failHere(text::kJsonVersion);
                if (v > text::kJsonFormatVersion) return failHere(text::kJsonNewer);
            } else if (key == "anchors") {
                if (!anchorList()) return false;
                anchors = true;
            } else if (!json_.skipValue()) {
                return fail();
            }
        }
        if (!next(t)) return false;
        if (!format || !anchors) return failHere(text::kJsonNotOurs);
        return true;
    }

private:
    bool next(Token& t) { return json_.next(t) || fail(); }
    bool fail() {
        error_ = path_ + ":" + json_.error();
        return false;
    }
    bool failHere(const char* what) {
        error_ = path_ + ":" + fill(text::kJsonAt, {std::to_string(json_.line()), what});
        return false;
    }

    bool number(double& v, const char* what = text::kJsonWantNumber) {
        Token t;
        if (!next(t)) return false;
        if (t != Token::Number) return failHere(what);
        const std::string& s = json_.text();
        const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
        if (r.ec != std::errc() || !std::isfinite(v)) return failHere(what);
        return true;
    }

    bool int32Value(std::int32_t& out, const char* what = text::kJsonWantFrame) {
        double v = 0;
        if (!number(v, what)) return false;
        if (v != std::floor(v) || v < std::numeric_limits<std::int32_t>::min() ||
            v > std::numeric_limits<std::int32_t>::max())
            return failHere(what);
        out = static_cast<std::int32_t>(v);
        return true;
    }

    bool string(std::string& out, const std::string& label) {
        Token t;
        if (!next(t)) return false;
        if (t != Token::String) return failHere(text::kJsonWantString);
        bool lossy = false;
        out = fromUtf8(json_.text(), &lossy);
        if (lossy) warnings_.push_back(fill(text::kNotInCodePage, {label, quotedText(out)}));
        return true;
    }

    // An array whose elements each begin with the token first (another is the fault wrong);
    // element() reads the rest of each.
    template <class Element> bool arrayOf(Token first, const char* wrong, Element element) {
        Token t;
        if (!next(t)) return false;
        if (t != Token::BeginArray) return failHere(text::kJsonWantArray);
        for (;;) {
            if (!next(t)) return false;
            if (t == Token::EndArray) return true;
            if (t != first) return failHere(wrong);
            if (!element()) return false;
        }
    }

    bool anchorList() {
        return arrayOf(Token::BeginObject, text::kJsonWantObject, [this] {
            if (tracks_.size() == anchors::kMaxObject) {
                error_ = fill(text::kTooManyTracks, {path_, std::to_string(anchors::kMaxObject)});
                return false;
            }
            return anchor();
        });
    }

    bool anchor() {
        Track track;
        track.label = fill(text::kJsonAnchorLabel, {std::to_string(tracks_.size() + 1)});
        bool haveKeys = false, haveFrames = false;
        Token t;
        for (;;) {
            if (!next(t)) return false;
            if (t == Token::EndObject) break;
            const std::string key = json_.text();
            if (key == "id") {
                if (!string(track.id, track.label)) return false;
            } else if (key == "name") {
                if (!string(track.name, track.label)) return false;
            } else if (key == "startFrame" || key == "endFrame") {
                std::int32_t v = 0;
                if (!int32Value(v)) return false;
                (key == "startFrame" ? track.startFrame : track.endFrame) = v;
            } else if (key == "keyFrames" || key == "frames") {
                const bool keys = key == "keyFrames";
                (keys ? haveKeys : haveFrames) = true;
                if (!frameList(track, keys)) return false;
            } else if (!json_.skipValue()) {
                return fail();
            }
        }
        // Without key frames the frames are all there is, and a frame missing means the
        // anchor is absent there.
        track.splitAtGaps = !haveKeys && haveFrames;
        tracks_.push_back(std::move(track));
        return true;
    }

    bool frameList(Track& track, bool keys) {
        return arrayOf(Token::BeginArray, text::kJsonFrameShape, [&] {
            std::int32_t frame = 0;
            double v[4];
            if (!int32Value(frame, text::kJsonFrameShape)) return false;
            for (double& c : v) {
                if (!number(c, text::kJsonFrameShape)) return false;
                c = std::round(c);
                if (c < std::numeric_limits<std::int32_t>::min() ||
                    c > std::numeric_limits<std::int32_t>::max())
                    return failHere(text::kJsonFrameShape);
            }
            Token t;
            if (!next(t)) return false;
            if (t != Token::EndArray) return failHere(text::kJsonFrameShape);
            track.samples.push_back(
                {frame,
                 {static_cast<std::int32_t>(v[0]), static_cast<std::int32_t>(v[1]),
                  static_cast<std::int32_t>(v[2]), static_cast<std::int32_t>(v[3])},
                 keys});
            return true;
        });
    }

    JsonReader& json_;
    const std::string& path_;
    std::vector<Track>& tracks_;
    std::vector<std::string>& warnings_;
    std::string& error_;
};

} // namespace

bool readJsonTracks(const std::string& path, std::vector<Track>& tracks,
                    std::vector<std::string>& warnings, std::string& error) {
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        error = fill(text::kCannotRead, {path});
        return false;
    }
    auto json = std::make_unique<JsonReader>(file.get());
    return JsonImport(*json, path, tracks, warnings, error).run();
}

} // namespace qxm::anchortool
