// Manual setting and the marks: the grab geometry on its own, then the real editor driven with
// mouse events on its picture and marks bar.
#include <QDir>
#include <QImage>
#include <QLineEdit>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include "EditorHarness.h"
#include "editor/anchors/AnchorFile.h"
#include "editor/anchors/AnchorPaths.h"
#include "editor/shell/CAnchorMovieWnd.h"
#include "editor/shell/CMainFrame.h"
#include "editor/view/CRivEviFV.h"
#include "editor/view/CommandIds.h"
#include "editor/view/FrameMath.h"
#include "editor/view/ManualSetting.h"
#include "player_control/anchors/DefAnchor.h"

namespace qxm::editor {
namespace {

using anchors::Rect;
using namespace testing;

TEST(ManualGeometry, GrabZonesAndTheirOffsets) {
    const Rect r{100, 100, 150, 150};
    struct Case {
        int x, y;
        DragZone zone;
        int dx, dy;
    };
    const Case cases[] = {
        {100, 100, DragZone::TopLeft, 0, 0},    {102, 102, DragZone::TopLeft, -2, -2},
        {98, 98, DragZone::None, 0, 0},         {149, 100, DragZone::TopRight, 1, 0},
        {100, 149, DragZone::BottomLeft, 0, 1}, {148, 148, DragZone::BottomRight, 2, 2},
        {125, 101, DragZone::Top, 0, -1},       {125, 148, DragZone::Bottom, 0, 2},
        {101, 125, DragZone::Left, -1, 0},      {149, 125, DragZone::Right, 1, 0},
        {125, 125, DragZone::Move, 125, 125},   {150, 125, DragZone::None, 0, 0},
    };
    for (const Case& c : cases) {
        const Grab g = GrabAt(r, c.x, c.y);
        EXPECT_EQ(g.zone, c.zone) << c.x << "," << c.y;
        if (c.zone != DragZone::None) EXPECT_EQ(std::pair(g.dx, g.dy), std::pair(c.dx, c.dy));
    }
}

TEST(ManualGeometry, DragsKeepEightByEightOnTheGrabbedSide) {
    const Rect r{100, 100, 150, 150};
    const Grab corner = GrabAt(r, 100, 100);
    EXPECT_EQ(DragCandidate(r, corner, 148, 146), (Rect{142, 142, 150, 150}));
    EXPECT_EQ(DragCandidate(r, corner, 148, 140), (Rect{142, 140, 150, 150}));
    EXPECT_EQ(DragCandidate(r, GrabAt(r, 125, 125), 135, 105), (Rect{110, 80, 160, 130}));
    EXPECT_EQ(DragCandidate(r, GrabAt(r, 149, 125), 60, 0), (Rect{100, 100, 108, 150}));
    EXPECT_EQ(DragCandidate(r, GrabAt(r, 125, 101), 0, 170), (Rect{100, 142, 150, 150}));
    // New rectangles: the right and bottom sides give way.
    EXPECT_EQ(ConstrainRect(RectOfPoints(10, 10, 12, 30), DragZone::None), (Rect{10, 10, 18, 30}));
    EXPECT_EQ(ConstrainRect(RectOfPoints(50, 40, 20, 10), DragZone::None), (Rect{20, 10, 50, 40}));
}

TEST(ManualGeometry, MarkTrianglesAndTheirHits) {
    EXPECT_TRUE(MarkHitMask(5, 0));
    EXPECT_FALSE(MarkHitMask(6, 0)); // right of the apex
    EXPECT_TRUE(MarkHitMask(6, 1));
    for (int dx = 0; dx <= 10; ++dx)
        EXPECT_TRUE(MarkHitMask(dx, 9) && MarkHitMask(dx, 10)) << dx;
    anchors::AnchorRecord a =
        anchors::MakeAnchorRecord("A", "a", {{0, 0, 0, 0, 0}, {1, 0, 0, 0, 0}, {100, 0, 0, 0, 0}});
    // A bar of 110 x 20 over frames 0..100: mark x = frame; frames 0 and 1 overlap.
    EXPECT_EQ(MarkAt(a, 5, 0, 110, 20, 100), 0); // the lower index wins
    EXPECT_EQ(MarkAt(a, 11, 10, 110, 20, 100), 1);
    EXPECT_EQ(MarkAt(a, 105, 5, 110, 20, 100), 2);
    EXPECT_EQ(MarkAt(a, 50, 5, 110, 20, 100), -1);
    EXPECT_EQ(MarkAt(a, 105, 11, 110, 20, 100), -1); // below the triangles
}

// The editor with a movie open and a new anchor current, driven by the mouse.
class Authoring : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(e.open(Files::get().movie("author.avi", 101)));
        e.ctx().table.Assign({});
        ASSERT_EQ(e.ctx().table.Append("A1", "car"), anchors::EditResult::Ok);
        e.ctx().table.CurrentAnchor = 0;
        e.ctx().state.AnchorActive = true;
    }
    QWidget* picture() { return e.movie().renderer(); }
    void go(int32_t frame) { e.movie().GoTo(CAVIWnd2::GoToKind::Frame, frame); }
    // Press, move and release of the left button in the picture.
    void drag(QPoint from, QPoint to, bool release = true) {
        QTest::mousePress(picture(), Qt::LeftButton, {}, from);
        QCoreApplication::processEvents();
        QTest::mouseMove(picture(), (from + to) / 2);
        QTest::mouseMove(picture(), to);
        QCoreApplication::processEvents();
        if (!release) return;
        QTest::mouseRelease(picture(), Qt::LeftButton, {}, to);
        QCoreApplication::processEvents();
    }
    void drawOn(int32_t frame, Rect r) {
        go(frame);
        drag({r.Left, r.Top}, {r.Right, r.Bottom});
    }
    const anchors::AnchorRecord& a() { return e.ctx().table[0]; }
    std::vector<int32_t> frames() {
        std::vector<int32_t> out;
        for (const auto& entry : a().Entries)
            out.push_back(entry.Frame);
        return out;
    }
    Editor e;
};

TEST_F(Authoring, DrawingOutsideTheRangeSetsTheEndsAndDraggingInsideAddsKeyFrames) {
    drawOn(30, {40, 40, 80, 70});
    EXPECT_EQ(a().StartFrame, 30);
    EXPECT_EQ(a().EndFrame, 30);
    EXPECT_FALSE(e.ctx().state.EndSet);
    EXPECT_TRUE(e.ctx().state.MovieOpen); // back after the release
    drawOn(12, {20, 20, 60, 50});
    EXPECT_EQ(a().StartFrame, 12);
    EXPECT_EQ(a().EndFrame, 30);
    EXPECT_EQ(frames(), (std::vector<int32_t>{12, 30}));
    EXPECT_EQ(e.field(1014), "12");
    EXPECT_EQ(e.field(1015), "30");
    EXPECT_EQ(a().Entries[0].rect(), (Rect{20, 20, 60, 50}));

    // A drag of the framed rectangle on a frame between the key frames adds one there.
    go(20);
    e.view().ShowRectAtFrame();
    const Rect at20 = e.ctx().state.CurrentRect;
    EXPECT_EQ(at20, *RectAtFrame(a(), 20));
    const QPoint inside(at20.Left + 15, at20.Top + 10);
    drag(inside, inside + QPoint(5, 7));
    EXPECT_EQ(frames(), (std::vector<int32_t>{12, 20, 30}));
    EXPECT_EQ(a().Entries[1].rect(),
              (Rect{at20.Left + 5, at20.Top + 7, at20.Right + 5, at20.Bottom + 7}));
    // On the Ending Frame a drag changes that key frame only.
    go(30);
    e.view().ShowRectAtFrame();
    drag({50, 45}, {54, 45});
    EXPECT_EQ(frames(), (std::vector<int32_t>{12, 20, 30}));
    EXPECT_EQ(a().Entries[2].rect(), (Rect{44, 40, 84, 70}));
    // Outside the range on both sides the range grows.
    drawOn(5, {10, 10, 30, 30});
    drawOn(60, {90, 60, 120, 90});
    EXPECT_EQ(frames(), (std::vector<int32_t>{5, 12, 20, 30, 60}));
    EXPECT_EQ(a().StartFrame, 5);
    EXPECT_EQ(a().EndFrame, 60);
    EXPECT_FALSE(e.ctx().table.AnchorDataSaved);

    // Saved, the file reads back in the player control without error, and the control's
    // rectangle at every frame is the one the editor computes from the same file.
    e.run(ID_FILE_SAVE);
    EXPECT_TRUE(e.ctx().table.AnchorDataSaved);
    const std::string folder = e.ctx().doc.AnchorFolder;
    CDefAnchor player;
    ASSERT_EQ(player.LoadAnchors(anchors::AnchorFilePath(folder, "author")), 0);
    ASSERT_EQ(player.Count(), 1);
    anchors::AnchorTable asFiled; // the editor's reader at scale 1: movie pixels
    asFiled.XScale = asFiled.YScale = 1.0;
    ASSERT_EQ(anchors::ReadAnchorFile(asFiled, folder, "author"), anchors::ReadStatus::Ok);
    int compared = 0;
    for (int32_t f = 0; f <= 100; ++f) {
        AnchorRect rect;
        const bool inPlayer = player.FindAnchorAt(player.At(0), f, {}, false, rect);
        const auto inEditor =
            FrameInAnchorRange(asFiled[0], f) ? RectAtFrame(asFiled[0], f) : std::nullopt;
        ASSERT_EQ(inPlayer, inEditor.has_value()) << f;
        if (!inEditor) continue;
        EXPECT_EQ((Rect{rect.left, rect.top, rect.right, rect.bottom}), *inEditor) << f;
        ++compared;
    }
    EXPECT_EQ(compared, 56);
}

TEST_F(Authoring, ARectangleBeingDrawnShowsItsOutlineAndTinyOnesGrowToEight) {
    go(50);
    drag({30, 30}, {90, 70}, false);
    EXPECT_EQ(e.ctx().state.drawMode, DrawMode::Drawing);
    EXPECT_FALSE(e.ctx().state.MovieOpen); // no command runs in the middle of a drag
    EXPECT_EQ(picture()->cursor().shape(), Qt::CrossCursor);
    const QImage shot = e.frame().grab().toImage();
    EXPECT_TRUE(shot.save(QString(std::getenv("XDG_DATA_HOME")) + "/../editor/drawing.png"));
    const QImage pic = e.movie().grabPicture();
    int dark = 0;
    for (int x = 30; x < 90; ++x)
        dark += pic.pixelColor(x, 30) == QColor(Qt::black) ? 1 : 0;
    EXPECT_GT(dark, 10); // the dotted outline along the top
    // Released far outside the picture: the position stays inside it.
    QTest::mouseMove(picture(), {5000, 5000});
    QTest::mouseRelease(picture(), Qt::LeftButton, {}, {5000, 5000});
    QCoreApplication::processEvents();
    const Rect r = e.ctx().state.CurrentRect;
    EXPECT_EQ(r.Right, picture()->width() - 1);
    EXPECT_EQ(r.Bottom, picture()->height() - 1);
    EXPECT_TRUE(e.ctx().state.MovieOpen);
    // A click without moving stores nothing.
    drawOn(70, {20, 20, 20, 20});
    EXPECT_EQ(e.ctx().state.CurrentRect, Rect{});
    EXPECT_EQ(a().EndFrame, 50);
    drawOn(80, {10, 10, 12, 30});
    EXPECT_EQ(a().Entries.back().rect(), (Rect{10, 10, 18, 30}));
}

TEST_F(Authoring, MarksAreClickedSteppedAndDeleted) {
    drawOn(10, {20, 20, 60, 50});
    drawOn(40, {60, 40, 100, 70});
    go(25);
    e.view().ShowRectAtFrame();
    drag({40, 35}, {42, 37});
    ASSERT_EQ(frames(), (std::vector<int32_t>{10, 25, 40}));

    // A click on the middle triangle selects it and goes there.
    QWidget* bar = e.view().marksBar();
    const int x = MarkX(bar->width(), 25, e.view().frameSpan()) + 5;
    QTest::mouseClick(bar, Qt::LeftButton, {}, {x, bar->height() / 2 - 1});
    EXPECT_TRUE(e.ctx().state.MarkSelected);
    EXPECT_EQ(e.ctx().state.SelectedMark, 1);
    EXPECT_EQ(e.frameNow(), 25);
    QDir().mkpath(QString(std::getenv("XDG_DATA_HOME")) + "/../editor");
    EXPECT_TRUE(
        e.frame().grab().save(QString(std::getenv("XDG_DATA_HOME")) + "/../editor/marks.png"));
    const QImage marks = bar->grab().toImage();
    EXPECT_EQ(marks.pixelColor(x, bar->height() / 2 - 1), QColor(255, 0, 0));

    e.run(ID_MARK_NEXT);
    EXPECT_EQ(e.ctx().state.SelectedMark, 2);
    EXPECT_EQ(e.frameNow(), 40);
    e.run(ID_MARK_NEXT); // already on the last
    EXPECT_EQ(e.ctx().state.SelectedMark, 2);
    e.run(ID_MARK_PREV);
    e.run(ID_MARK_PREV);
    EXPECT_EQ(e.ctx().state.SelectedMark, 0);
    EXPECT_EQ(e.frameNow(), 10);

    // Deleting the Starting Frame makes the next key frame the Starting Frame.
    e.run(ID_ANCHOR_DELETE_FRAME);
    EXPECT_EQ(frames(), (std::vector<int32_t>{25, 40}));
    EXPECT_EQ(e.field(1014), "25");
    EXPECT_FALSE(e.enabled(ID_ANCHOR_DELETE_FRAME)); // nothing selected now
    // Without a selection, Previous Mark from the end goes to the key frame before.
    e.run(ID_VIDEO_LAST);
    e.run(ID_MARK_PREV);
    EXPECT_EQ(e.frameNow(), 40);
    EXPECT_EQ(e.ctx().state.SelectedMark, 1);
    // Deleting the Ending Frame of a two-entry anchor leaves one key frame, twice.
    e.run(ID_ANCHOR_DELETE_FRAME);
    EXPECT_EQ(frames(), (std::vector<int32_t>{25, 25}));
    EXPECT_EQ(a().StartFrame, 25);
    EXPECT_EQ(a().EndFrame, 25);
    EXPECT_FALSE(e.ctx().state.EndSet);
    EXPECT_EQ(e.field(1015), "");
    // And deleting that one unsets the anchor.
    e.view().GoToMark(0);
    e.ctx().state.MarkSelected = true;
    e.ctx().state.SelectedMark = 0;
    e.run(ID_ANCHOR_DELETE_FRAME);
    EXPECT_EQ(a().StartFrame, -1);
    EXPECT_EQ(a().EndFrame, -1);
    EXPECT_EQ(a().Entries.size(), 2u);
}

TEST_F(Authoring, DeletingAnIntermediateFrameKeepsTheRange) {
    drawOn(10, {20, 20, 60, 50});
    drawOn(40, {60, 40, 100, 70});
    go(25);
    e.view().ShowRectAtFrame();
    drag({40, 35}, {42, 37});
    e.ctx().state.MarkSelected = true;
    e.ctx().state.SelectedMark = 1;
    e.run(ID_ANCHOR_DELETE_FRAME);
    EXPECT_EQ(frames(), (std::vector<int32_t>{10, 40}));
    EXPECT_EQ(e.field(1014), "10");
    EXPECT_EQ(e.field(1015), "40");
}

} // namespace
} // namespace qxm::editor
