#include "player_control/anchors/AnchorTracking.h"

#include <gtest/gtest.h>

#include "AnchorTestUtil.h"

using namespace qxm;
using qxm::testing_util::loadText;

namespace {

// Two side-by-side anchors and a third that shares the first one's ID further right.
const char* const kFile = "[left:L:0-9:1]\n5:0,0,10,10;\n"
                          "[right:R:0-9:1]\n5:10,0,20,10;\n"
                          "[left:L2:0-9:1]\n5:30,0,40,10;\n";

class AnchorTrackingTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(loadText(store, kFile), 0); }
    AnchorRef hit(std::int32_t x, std::string_view enabled = {}, AnchorRef sel = {}) {
        return hitTestWithEnabled(store, 5, {x, 5}, enabled, sel);
    }
    CursorStep move(std::int32_t x, bool change = true) {
        return tracker.track(store, hit(x), change);
    }
    CDefAnchor store;
    CursorTracker tracker;
    AnchorSelection selection;
};

void expectStep(const CursorStep& s, const char* out, const char* in, CursorChange c) {
    EXPECT_EQ(s.cursorOutId.value_or("-"), out ? out : "-");
    EXPECT_EQ(s.cursorInId.value_or("-"), in ? in : "-");
    EXPECT_EQ(s.cursor, c);
}

TEST_F(AnchorTrackingTest, HitWithEnabledAnchor) {
    EXPECT_EQ(hit(5).index, 0);
    EXPECT_EQ(hit(15).index, 1);
    EXPECT_TRUE(hit(25).isNone());
    // Enabled ID without a selection: a filter by ID.
    EXPECT_TRUE(hit(15, "left").isNone());
    EXPECT_EQ(hit(35, "left").index, 2);
    // Enabled ID and a selection: only the selected anchor counts.
    EXPECT_TRUE(hit(5, "left", store.At(2)).isNone());
    EXPECT_EQ(hit(35, "left", store.At(2)).index, 2);
    // A selection without an enabled ID does not narrow the test.
    EXPECT_EQ(hit(15, {}, store.At(2)).index, 1);
    // A stale selection counts as none.
    const AnchorRef stale = store.At(2);
    ASSERT_EQ(loadText(store, kFile), 0);
    EXPECT_EQ(hit(5, "left", stale).index, 0);
}

TEST_F(AnchorTrackingTest, FrameOfTheSelectedAnchorInWindowPixels) {
    const ScaleFactors half = anchorScaleFactors({100, 100}, PixelSize{200, 50});
    EXPECT_EQ(selectedFrameInWindow(store, store.At(1), 5, half),
              std::optional<AnchorRect>(AnchorRect{20, 0, 40, 5}));
    EXPECT_FALSE(selectedFrameInWindow(store, store.At(1), 6, half)); // no rectangle there
    EXPECT_FALSE(selectedFrameInWindow(store, {}, 5, half));
    const AnchorRef old = store.At(1);
    ASSERT_EQ(loadText(store, kFile), 0);
    EXPECT_FALSE(selectedFrameInWindow(store, old, 5, half));
}

TEST_F(AnchorTrackingTest, CursorSequenceWithChangeCursor) {
    expectStep(move(25), nullptr, nullptr, CursorChange::None);
    expectStep(move(5), nullptr, "left", CursorChange::InstallAnchorCursor);
    expectStep(move(6), nullptr, nullptr, CursorChange::InstallAnchorCursor);
    expectStep(move(15), "left", "right", CursorChange::InstallAnchorCursor);
    expectStep(move(25), "right", nullptr, CursorChange::RestoreClassCursor);
    expectStep(move(26), nullptr, nullptr, CursorChange::None);
    // Two anchors with one ID are still two anchors.
    expectStep(move(5), nullptr, "left", CursorChange::InstallAnchorCursor);
    expectStep(move(35), "left", "left", CursorChange::InstallAnchorCursor);
    EXPECT_EQ(tracker.under(store).index, 2);
}

TEST_F(AnchorTrackingTest, CursorSequenceWithoutChangeCursor) {
    expectStep(move(5, false), nullptr, "left", CursorChange::None);
    expectStep(move(6, false), nullptr, nullptr, CursorChange::None);
    expectStep(move(15, false), "left", "right", CursorChange::None);
    expectStep(move(25, false), "right", nullptr, CursorChange::None);
    // Turned off while over an anchor: leaving it restores nothing.
    expectStep(move(5, true), nullptr, "left", CursorChange::InstallAnchorCursor);
    expectStep(move(25, false), "left", nullptr, CursorChange::None);
}

TEST_F(AnchorTrackingTest, ReadingTheListAgainLeavesNoReferenceBehind) {
    expectStep(move(5), nullptr, "left", CursorChange::InstallAnchorCursor);
    ASSERT_EQ(loadText(store, "[other:O:0-9:1]\n5:0,0,10,10;\n"), 0);
    EXPECT_TRUE(tracker.under(store).isNone());
    // Without a reset the next check still reports leaving the old anchor, by its saved ID.
    expectStep(move(5), "left", "other", CursorChange::InstallAnchorCursor);
    expectStep(tracker.reset(true), "other", nullptr, CursorChange::RestoreClassCursor);
    expectStep(tracker.reset(true), nullptr, nullptr, CursorChange::None);
    expectStep(move(5, false), nullptr, "other", CursorChange::None);
    store.Clear();
    expectStep(tracker.reset(false), "other", nullptr, CursorChange::None);
    // A stale hit handed in counts as none.
    const AnchorRef old = store.At(0);
    expectStep(tracker.track(store, old, true), nullptr, nullptr, CursorChange::None);
}

TEST_F(AnchorTrackingTest, SelectionStartsAndStopsTheTimer) {
    SelectionChange c = selection.select(store, store.At(0));
    EXPECT_TRUE(c.changed && c.startTimer && !c.stopTimer);
    EXPECT_TRUE(selection.timerRunning());
    c = selection.select(store, store.At(0));
    EXPECT_FALSE(c.changed || c.startTimer || c.stopTimer);
    c = selection.select(store, store.At(1));
    EXPECT_TRUE(c.changed && c.startTimer && c.stopTimer);
    EXPECT_EQ(selection.selected(store).index, 1);
    c = selection.select(store, {});
    EXPECT_TRUE(c.changed && !c.startTimer && c.stopTimer);
    EXPECT_FALSE(selection.timerRunning());
    c = selection.select(store, {});
    EXPECT_FALSE(c.changed);
    c = selection.reset();
    EXPECT_FALSE(c.changed);
}

TEST_F(AnchorTrackingTest, SelectionAcrossAReload) {
    selection.select(store, store.At(1));
    ASSERT_EQ(loadText(store, kFile), 0);
    EXPECT_TRUE(selection.selected(store).isNone());
    EXPECT_TRUE(selection.timerRunning()); // until the control drops it
    SelectionChange c = selection.reset();
    EXPECT_TRUE(c.changed && c.stopTimer && !c.startTimer);
    EXPECT_FALSE(selection.timerRunning());
    // Selecting a stale reference deselects.
    selection.select(store, store.At(0));
    const AnchorRef old = store.At(0);
    store.Clear();
    c = selection.select(store, old);
    EXPECT_TRUE(c.changed && c.stopTimer && !c.startTimer);
}

} // namespace
