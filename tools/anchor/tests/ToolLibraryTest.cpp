// The parts of qxmanchor with rules of their own: the key-frame reduction and the frame walk
// against the player control's interpolation, and the JSON reader's limits.
#include "tools/anchor/Import.h"
#include "tools/anchor/JsonReader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <random>

using namespace qxm;
using namespace qxm::anchortool;

// Whatever the boxes, the key frames kept give every box back through anchorRectAt, and the
// boxes marked as key frames stay key frames.
TEST(KeyFrameReduction, PlayerInterpolationGivesBackEverySample) {
    std::mt19937 rng(11);
    for (int trial = 0; trial < 300; ++trial) {
        std::vector<Sample> samples;
        std::int64_t frame = std::int64_t(rng() % 50);
        AnchorRect r{std::int32_t(rng() % 100) - 50, 0, 10, 10};
        const int n = 1 + int(rng() % 120);
        for (int i = 0; i < n; ++i) {
            // Straight stretches, turns, pauses and jumps; now and then a frame left out.
            switch (rng() % 6) {
            case 0:
                r.left += 3;
                break;
            case 1:
                r.top -= 7;
                break;
            case 2:
                break;
            case 3:
                r.right += std::int32_t(rng() % 1000);
                break;
            default:
                r.left += 3, r.bottom += 1;
                break;
            }
            samples.push_back({frame, r, rng() % 17 == 0});
            frame += 1 + (rng() % 9 == 0 ? std::int64_t(rng() % 5) : 0);
        }
        const std::vector<AnchorFrameEntry> keys = reduceToKeyFrames(samples);
        const Anchor a = makeAnchor("T", "t", keys);
        ASSERT_EQ(keys.front().frame, samples.front().frame);
        ASSERT_EQ(keys.back().frame, samples.back().frame);
        for (const Sample& s : samples) {
            AnchorRect got;
            ASSERT_TRUE(anchorRectAt(a, std::int32_t(s.frame), got)) << trial;
            ASSERT_EQ(got, s.rect) << "trial " << trial << " frame " << s.frame;
            if (s.key) {
                EXPECT_TRUE(std::any_of(keys.begin(), keys.end(), [&](const AnchorFrameEntry& k) {
                    return k.frame == s.frame;
                }));
            }
        }
    }
    // A straight run of a million frames needs its two ends only. Runs the player's 32-bit
    // products cannot hold (a steep line) or that no straight run gives back (a staircase) keep
    // what they need, and still quickly.
    std::vector<Sample> line, steep, stairs;
    for (std::int32_t f = 0; f < 1000000; ++f) {
        const std::int32_t x = std::int32_t(std::int64_t(2000) * f / 999999);
        line.push_back({f, {x, -x, x + 10, 5}, false});
        steep.push_back({f, {2 * f, 0, 2 * f + 10, 5}, false});
        stairs.push_back({f, {f / 3, 0, f / 3 + 10, 5}, false});
    }
    EXPECT_EQ(reduceToKeyFrames(line).size(), 2u);
    for (const auto* samples : {&steep, &stairs}) {
        const Anchor a = makeAnchor("S", "s", reduceToKeyFrames(*samples));
        EXPECT_GT(a.entries.size(), 2u);
        for (std::int32_t f = 0; f < 1000000; f += 997) {
            AnchorRect got;
            ASSERT_TRUE(anchorRectAt(a, f, got));
            EXPECT_EQ(got, (*samples)[std::size_t(f)].rect) << f;
        }
    }
}

// The exports walk the key frames instead of asking anchorRectAt frame by frame; the two must
// never differ, also where the control's 32-bit arithmetic wraps.
TEST(FrameWalk, GivesWhatThePlayersLookupGives) {
    std::mt19937 rng(5);
    for (int trial = 0; trial < 200; ++trial) {
        std::vector<AnchorFrameEntry> keys;
        std::int32_t frame = std::int32_t(rng() % 100);
        const int n = 1 + int(rng() % 6);
        for (int i = 0; i < n; ++i) {
            const auto big = [&] { return std::int32_t(rng()); }; // any 32-bit value
            keys.push_back({frame, {big(), big(), std::int32_t(rng() % 50), big()}});
            frame += 1 + std::int32_t(rng() % (trial % 2 ? 5 : 3000));
        }
        Anchor a = makeAnchor("W", "w", keys);
        a.startFrame -= std::int32_t(rng() % 3);
        std::int64_t expected = a.entries.front().frame;
        forEachFrame(a, [&](std::int32_t f, const AnchorRect& r, bool key) {
            ASSERT_EQ(f, expected++);
            AnchorRect lookup;
            ASSERT_TRUE(anchorRectAt(a, f, lookup));
            ASSERT_EQ(r, lookup) << "trial " << trial << " frame " << f;
            ASSERT_EQ(key, std::any_of(a.entries.begin(), a.entries.end(),
                                       [&](const AnchorFrameEntry& e) { return e.frame == f; }));
        });
        EXPECT_EQ(expected, std::int64_t(a.entries.back().frame) + 1);
    }
}

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

// Every token of a text, or the error; tokens as short names with their text.
std::string tokens(const std::string& json) {
    std::unique_ptr<std::FILE, FileCloser> in(
        fmemopen(const_cast<char*>(json.data()), json.size(), "rb"));
    if (json.empty()) in.reset(std::tmpfile());
    JsonReader reader(in.get());
    std::string out;
    JsonReader::Token t;
    static const char* const names[] = {
        "{", "}", "[", "]", "key:", "str:", "num:", "true", "false", "null", "end"};
    while (reader.next(t)) {
        out += names[int(t)];
        if (t == JsonReader::Token::Key || t == JsonReader::Token::String ||
            t == JsonReader::Token::Number)
            out += reader.text();
        out += ' ';
        if (t == JsonReader::Token::End) return out;
    }
    return "error " + reader.error();
}

} // namespace

TEST(JsonReading, TokensAndErrorsWithTheirLines) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {R"({"a": [1, -2.5e3, true, false, null], "b": {}})",
         "{ key:a [ num:1 num:-2.5e3 true false null ] key:b { } } end "},
        {R"(["\u00e9\ud83d\ude00\n\"\\\/"])", "[ str:\xC3\xA9\xF0\x9F\x98\x80\n\"\\/ ] end "},
        {"  \n 0 \n", "num:0 end "},
        {"", "error 1: the text ends inside a JSON value"},
        {"{\"a\" 1}", "error 1: expected ':' after the key"},
        {"{\"a\": 1,}", "error 1: expected a key in double quotes"},
        {"[1 2]", "error 1: expected ',' or ']'"},
        {"[1,\n\n01]", "error 3: a malformed number"},
        {"[-]", "error 1: a malformed number"},
        {"[1.]", "error 1: a malformed number"},
        {"[tru]", "error 1: expected a JSON value"},
        {"[\"a\nb\"]", "error 2: a control character inside a string"},
        {"[\"\\ud800\"]", "error 1: a malformed escape in a string"},
        {"[\"\\x\"]", "error 1: a malformed escape in a string"},
        {"{} {}", "error 1: text after the end of the JSON value"},
        {"\"" + std::string(70000, 'a') + "\"", "error 1: a string longer than 65536 bytes"},
        {"[" + std::string(80, '9') + "]", "error 1: a malformed number"},
        {std::string(65, '[') + std::string(65, ']'), "error 1: values nested more than 64 deep"},
    };
    for (const auto& [json, expected] : cases) {
        const std::string got = tokens(json);
        if (expected.starts_with("error"))
            EXPECT_TRUE(got.starts_with(expected)) << json.substr(0, 40) << " gave " << got;
        else
            EXPECT_EQ(got, expected) << json;
    }
}
