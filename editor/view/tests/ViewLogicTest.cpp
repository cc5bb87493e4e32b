// The form's arithmetic: rectangles between key frames, the scroll bar, the bars, and the text
// of a request to open a file.
#include <gtest/gtest.h>

#include "editor/view/FrameMath.h"
#include "editor/view/OpenRequest.h"

namespace qxm::editor {
namespace {

anchors::AnchorRecord anchorWith(std::vector<anchors::FrameEntry> entries) {
    anchors::AnchorRecord a;
    a.ID = "A";
    a.Name = "a";
    a.Entries = std::move(entries);
    if (!a.Entries.empty()) {
        a.StartFrame = a.Entries.front().Frame;
        a.EndFrame = a.Entries.back().Frame;
    }
    return a;
}

TEST(RectAtFrame, InterpolatesEachSideTruncatingTowardZero) {
    const auto a = anchorWith({{0, 10, 20, 10, 20}, {10, 17, 13, 20, 20}});
    EXPECT_EQ(RectAtFrame(a, 4), (anchors::Rect{12, 18, 14, 20}));
    EXPECT_EQ(RectAtFrame(a, 0), (anchors::Rect{10, 20, 10, 20}));
    EXPECT_EQ(RectAtFrame(a, 10), (anchors::Rect{17, 13, 20, 20}));
    const auto b = anchorWith({{0, 10, 0, 0, 0}, {10, 20, 0, 0, 0}});
    EXPECT_EQ(RectAtFrame(b, 5)->Left, 15);
    // Huge coordinates do not overflow.
    const auto c =
        anchorWith({{0, -2000000000, 0, 2000000000, 0}, {4, 2000000000, 0, -2000000000, 0}});
    EXPECT_EQ(RectAtFrame(c, 2), (anchors::Rect{0, 0, 0, 0}));
}

TEST(RectAtFrame, MalformedKeyFramesGiveNoRectangleInsteadOfReadingOutside) {
    anchors::AnchorRecord none = anchorWith({});
    none.StartFrame = 0;
    none.EndFrame = 10;
    EXPECT_FALSE(RectAtFrame(none, 5));
    const auto single = anchorWith({{5, 1, 2, 3, 4}});
    EXPECT_EQ(RectAtFrame(single, 5), (anchors::Rect{1, 2, 3, 4}));
    EXPECT_FALSE(RectAtFrame(single, 6));
    // Entries that do not reach the anchor's ends, and unsorted ones.
    auto shortOnes = anchorWith({{3, 0, 0, 0, 0}, {6, 6, 6, 6, 6}});
    shortOnes.StartFrame = 0;
    shortOnes.EndFrame = 10;
    EXPECT_FALSE(RectAtFrame(shortOnes, 1));
    EXPECT_FALSE(RectAtFrame(shortOnes, 8));
    EXPECT_EQ(RectAtFrame(shortOnes, 4)->Left, 2);
    const auto unsorted = anchorWith({{6, 6, 6, 6, 6}, {3, 0, 0, 0, 0}});
    EXPECT_TRUE(RectAtFrame(unsorted, 4));
}

TEST(FrameMath, RangeScrollBarAndBars) {
    auto a = anchorWith({{5, 0, 0, 0, 0}, {9, 0, 0, 0, 0}});
    EXPECT_TRUE(FrameInAnchorRange(a, 5));
    EXPECT_FALSE(FrameInAnchorRange(a, 10));
    a.EndFrame = -1; // no upper limit
    EXPECT_TRUE(FrameInAnchorRange(a, 1000));
    a.StartFrame = -1; // nothing lies inside
    EXPECT_FALSE(FrameInAnchorRange(a, 1000));

    EXPECT_EQ(FastStepFrames(0, 100), 6);
    EXPECT_EQ(FastStepFrames(0, 9), 1);
    EXPECT_EQ(FrameOfThumb(50, 0, 100), 50);
    EXPECT_EQ(FrameOfThumb(1, 0, 2), 1);     // ceil(2 / 100)
    EXPECT_EQ(FrameOfThumb(33, 0, 149), 50); // ceil(49.17)
    EXPECT_EQ(FrameOfThumb(100, 0, 149), 149);
    EXPECT_EQ(ScrollPositionOfFrame(50, 0, 149), 33);
    EXPECT_EQ(ScrollPositionOfFrame(149, 0, 149), 100);

    EXPECT_EQ(FrameBarX(171, 149, 149), 170);
    EXPECT_EQ(FrameBarX(171, 0, 149), 0);
    EXPECT_EQ(MarkX(176, 149, 149), 166);
    EXPECT_EQ(MarkX(176, 75, 149), 83);
}

TEST(OpenRequest, PathAndAnchorFromTheLinkText) {
    struct Case {
        const char* text;
        bool empty;
        const char* path;
        const char* id;
        bool idSet;
    };
    const Case cases[] = {
        {"\"/m/clip.mob\",CAR1,0", false, "/m/clip.mob", "CAR1", true},
        {"\"/m/clip.mob\",CAR1", false, "/m/clip.mob", "", false}, // no second comma: no ID
        {"\"/m/a,b.avi\",X,0", false, "/m/a,b.avi", "X", true},    // a comma inside the quotes
        {"\"p.avi\",ABCDEFGHIJKLMN,0", false, "p.avi", "ABCDEFGHIJ", true},
        {"/m/clip.avi", false, "/m/clip.avi", "", false},
        {"\"/m/clip.avi\"", false, "\"/m/clip.avi\"", "", false},
        {"", true, "", "", false},
        {"\"p.avi\",,0", false, "p.avi", "", true},
        {"x\"y\",", false, "y\"", "", false}, // odd texts stay inside the request
    };
    for (const Case& c : cases) {
        const OpenRequest r = ParseOpenRequest(c.text);
        EXPECT_EQ(r.empty, c.empty) << c.text;
        EXPECT_EQ(r.path, c.path) << c.text;
        EXPECT_EQ(r.anchorId, c.id) << c.text;
        EXPECT_EQ(r.anchorIdSet, c.idSet) << c.text;
    }
    // Only the first 128 bytes of a request count: here the closing quote is not among them.
    const std::string longText = "\"" + std::string(200, 'a') + "\",ID,0";
    EXPECT_EQ(ParseOpenRequest(longText).path, "\"" + std::string(127, 'a'));
}

} // namespace
} // namespace qxm::editor
