// The control's anchors in play: clicks on the picture window, cursor in and out, EnableAnchor,
// the frame origin, the red frame over the picture, and references across a re-read list.
#include "player_control/control/tests/ControlTestSupport.h"

#include <QImage>

#include <cstdlib>
#include <fstream>

#include "platform/sound/SoundService.h"
#include "player_control/cursors/tests/CursorTestFiles.h"

using namespace qxm;
using namespace qxm::qxmovie;
using namespace qxm::qxmovie::testing;

namespace {

class AnchorsTest : public ControlTest {
protected:
    // A 160 x 120 movie of 30 frames with three anchors; the control laid out so that the
    // picture window is exactly the picture's size (no panel, 164 x 128 client area).
    std::unique_ptr<CQXMovieCtrl> makeHypervideo(QXMovieState st = {}) {
        movie_ = writeMovie("clip.avi", 30);
        writeAnchors(movie_,
                     {anchorRecord("CAR1", "Car", {{10, 0, 0, 40, 40}, {20, 100, 0, 140, 40}}),
                      anchorRecord("BOX", "Box", {{0, 20, 60, 60, 100}, {29, 20, 60, 60, 100}}),
                      anchorRecord("OVER", "Over", {{0, 40, 80, 80, 110}, {29, 40, 80, 80, 110}}),
                      anchorRecord("LATE", "Late", {{13, 0, 0, 10, 10}, {16, 0, 0, 10, 10}})});
        st.AutoPlay = false;
        st.ShowControls = false;
        st.ShowTracker = false;
        auto c = makeControl(st, &site_);
        EXPECT_TRUE(openMovie(*c, movie_));
        c->setObjectRect(QRect(0, 0, 164, 128));
        EXPECT_EQ(c->rendererWindow()->size(), QSize(160, 120));
        return c;
    }
    QPoint at(CQXMovieCtrl& c, int x, int y) { return windowPointFor(c, x, y); }
    void click(CQXMovieCtrl& c, int x, int y, Qt::MouseButton b = Qt::LeftButton) {
        QTest::mouseClick(c.rendererWindow(), b, {}, at(c, x, y));
    }

    TestSite site_;
    std::string movie_;
};

bool isRed(QRgb p) {
    return qRed(p) == 255 && qGreen(p) == 0 && qBlue(p) == 0;
}

} // namespace

TEST_F(AnchorsTest, SingleClickActivatesPausesSelectsAndPlaysTheSound) {
    QXMovieState st;
    st.ClickSound = true;
    st.SoundFile = "sounds/click.wav";
    auto c = makeHypervideo(st);
    c->Seek(15); // CAR1 interpolated to 50..90 x 0..40
    EventRecorder rec(*c);
    click(*c, 70, 20);
    // The hit pauses the engine (from stopped: paused), then the anchor activates.
    EXPECT_EQ(rec.texts(), (std::vector<std::string>{
                               "OnMovieStop()", "OnStateChange(0, 1)", "OnActivateAnchor(\"CAR1\")",
                               "MouseDown(1, 0, 70, 20)", "MouseUp(1, 0, 70, 20)"}));
    EXPECT_EQ(c->anchorStore().Record(c->selectedAnchor())->id, "CAR1");
    EXPECT_TRUE(c->anchorTimerActive());
    EXPECT_EQ(c->engine()->CurrentState(), 1);
    EXPECT_EQ(sound::requests(),
              (std::vector<sound::SoundRequest>{{"sounds/click.wav", true, true}}));

    // The right button hits, selects and sounds, but does not activate; the menu pops up.
    rec.clear();
    sound::clearRequests();
    click(*c, 30, 70, Qt::RightButton);
    EXPECT_EQ(rec.count(EVENTID_OnActivateAnchor), 0u);
    EXPECT_EQ(c->anchorStore().Record(c->selectedAnchor())->id, "BOX");
    EXPECT_EQ(sound::requests().size(), 1u);
    ASSERT_TRUE(c->shownContextMenu());
    EXPECT_TRUE(c->shownContextMenu()->isVisible());
    c->shownContextMenu()->hide();

    // Beside every anchor: the selection goes and with it the timer.
    rec.clear();
    click(*c, 150, 110);
    EXPECT_FALSE(c->selectedAnchor());
    EXPECT_FALSE(c->anchorTimerActive());
    EXPECT_EQ(rec.texts(),
              (std::vector<std::string>{"MouseDown(1, 0, 150, 110)", "MouseUp(1, 0, 150, 110)"}));
}

TEST_F(AnchorsTest, HitsFollowInterpolationEdgesAndFileOrder) {
    auto c = makeHypervideo();
    auto hitAt = [&](int frame, int x, int y) -> std::string {
        c->Seek(frame);
        click(*c, x, y);
        const AnchorRef r = c->selectedAnchor();
        return r ? c->anchorStore().Record(r)->id : "";
    };
    EXPECT_EQ(hitAt(15, 50, 0), "CAR1"); // left and top edges are inside
    EXPECT_EQ(hitAt(15, 49, 0), "");
    EXPECT_EQ(hitAt(15, 89, 39), "CAR1");
    EXPECT_EQ(hitAt(15, 90, 20), "");   // right edge outside
    EXPECT_EQ(hitAt(15, 70, 40), "");   // bottom edge outside
    EXPECT_EQ(hitAt(9, 5, 5), "");      // before the first entry
    EXPECT_EQ(hitAt(14, 5, 5), "LATE"); // 13..16
    EXPECT_EQ(hitAt(17, 5, 5), "");
    EXPECT_EQ(hitAt(12, 5, 5), "");
    EXPECT_EQ(hitAt(5, 50, 90), "BOX"); // BOX and OVER overlap: the first in the file wins
    EXPECT_EQ(hitAt(5, 70, 90), "OVER");
}

TEST_F(AnchorsTest, DoubleClickActivatesWithActivateMethodOne) {
    QXMovieState st;
    st.ActivateMethod = 1;
    auto c = makeHypervideo(st);
    EventRecorder rec(*c);
    click(*c, 30, 70);
    EXPECT_EQ(rec.count(EVENTID_OnActivateAnchor), 0u);
    EXPECT_TRUE(c->selectedAnchor());
    EXPECT_EQ(c->engine()->CurrentState(), 1);
    QTest::mouseDClick(c->rendererWindow(), Qt::LeftButton, {}, at(*c, 30, 70));
    EXPECT_EQ(rec.only({EVENTID_OnActivateAnchor}),
              std::vector<std::string>{"OnActivateAnchor(\"BOX\")"});

    // With single-click activation a double click adds nothing.
    ASSERT_EQ(put(*c, "ActivateMethod", Variant(0)), S_OK);
    rec.clear();
    QTest::mouseDClick(c->rendererWindow(), Qt::LeftButton, {}, at(*c, 30, 70));
    EXPECT_LE(rec.count(EVENTID_OnActivateAnchor), 1u); // only the press of the pair
}

TEST_F(AnchorsTest, CursorInAndOutWithAndWithoutTheCursorChange) {
    auto c = makeHypervideo();
    auto* r = c->rendererWindow();
    EventRecorder rec(*c);
    c->TrackCursor(30, 70);
    c->TrackCursor(31, 71); // still inside: nothing new
    EXPECT_EQ(r->cursor().shape(), Qt::BitmapCursor);
    c->TrackCursor(50, 90); // BOX again (it precedes OVER)
    c->TrackCursor(70, 90); // from BOX into OVER
    c->TrackCursor(150, 5);
    EXPECT_EQ(r->cursor().shape(), Qt::ArrowCursor);
    EXPECT_EQ(rec.texts(),
              (std::vector<std::string>{"OnCursorIn(\"BOX\")", "OnCursorOut(\"BOX\")",
                                        "OnCursorIn(\"OVER\")", "OnCursorOut(\"OVER\")"}));
    EXPECT_FALSE(c->anchorCursor().fromFile()); // the built-in cursor 204

    ASSERT_EQ(put(*c, "ChangeCursor", Variant(false)), S_OK);
    rec.clear();
    c->TrackCursor(30, 70);
    EXPECT_EQ(r->cursor().shape(), Qt::ArrowCursor);
    c->TrackCursor(150, 5);
    EXPECT_EQ(rec.texts(),
              (std::vector<std::string>{"OnCursorIn(\"BOX\")", "OnCursorOut(\"BOX\")"}));

    // Mouse moves of the engine run the same check, then MouseMove.
    ASSERT_EQ(put(*c, "ChangeCursor", Variant(true)), S_OK);
    rec.clear();
    QTest::mouseMove(r, at(*c, 30, 70));
    ASSERT_EQ(rec.events.size(), 2u);
    EXPECT_EQ(rec.events[0].text, "OnCursorIn(\"BOX\")");
    EXPECT_EQ(rec.events[1].id, EVENTID_MouseMove);
    EXPECT_EQ(rec.events[1].args[2], Variant(30));
    EXPECT_EQ(rec.events[1].args[3], Variant(70));
}

TEST_F(AnchorsTest, CursorFilesStaticAndAnimated) {
    using namespace qxm::cursors::testfiles;
    auto c = makeHypervideo();
    const std::string cur = (dir_ / "hand.cur").string();
    const Buf red = solidCursor(16, 0xFF0000, 3, 4);
    std::ofstream(cur, std::ios::binary)
        .write(reinterpret_cast<const char*>(red.data()), std::streamsize(red.size()));
    ASSERT_EQ(put(*c, "CursorFile", Variant(cur)), S_OK);
    c->TrackCursor(30, 70);
    EXPECT_TRUE(c->anchorCursor().fromFile());
    EXPECT_EQ(c->rendererWindow()->cursor().hotSpot(), QPoint(3, 4));
    c->TrackCursor(150, 5);

    const std::string ani = (dir_ / "spin.ani").string();
    const Buf form =
        riff({anih(2, 2, 1, 1),
              frameList({solidCursor(16, 0xFF0000, 1, 1), solidCursor(16, 0x0000FF, 2, 2)})});
    std::ofstream(ani, std::ios::binary)
        .write(reinterpret_cast<const char*>(form.data()), std::streamsize(form.size()));
    ASSERT_EQ(put(*c, "CursorFile", Variant(ani)), S_OK);
    c->TrackCursor(30, 70);
    EXPECT_TRUE(c->anchorCursor().animated());
    const QPoint first = c->rendererWindow()->cursor().hotSpot();
    ASSERT_TRUE(waitFor([&] { return c->rendererWindow()->cursor().hotSpot() != first; }));

    // A file that cannot be read falls back to cursor 204.
    c->TrackCursor(150, 5);
    ASSERT_EQ(put(*c, "CursorFile", Variant((dir_ / "none.cur").string())), S_OK);
    c->TrackCursor(30, 70);
    EXPECT_FALSE(c->anchorCursor().fromFile());
    EXPECT_EQ(c->rendererWindow()->cursor().shape(), Qt::BitmapCursor);
}

TEST_F(AnchorsTest, EnableAnchorRestrictsHitsToThatAnchor) {
    auto c = makeHypervideo();
    Variant result;
    const Variant car[] = {Variant("CAR1")};
    ASSERT_EQ(dispCall(*c->dispatch(), "EnableAnchor", car, &result), S_OK);
    EXPECT_EQ(result, Variant(true));
    EXPECT_EQ(c->enabledAnchorId(), "CAR1");
    EXPECT_EQ(c->engine()->CurrentState(), 1);
    EXPECT_EQ(get(*c, "CurrentPosition"), Variant(10)); // its start frame
    EXPECT_EQ(c->anchorStore().Record(c->selectedAnchor())->id, "CAR1");

    EventRecorder rec(*c);
    c->TrackCursor(30, 70); // BOX is not the enabled anchor
    EXPECT_TRUE(rec.only({EVENTID_OnCursorIn}).empty());
    click(*c, 30, 70);
    EXPECT_FALSE(c->selectedAnchor());
    click(*c, 20, 20); // CAR1 at frame 10, hit through the filter
    EXPECT_EQ(rec.only({EVENTID_OnActivateAnchor}),
              std::vector<std::string>{"OnActivateAnchor(\"CAR1\")"});

    EXPECT_FALSE(c->EnableAnchor("NOPE"));
    EXPECT_EQ(c->enabledAnchorId(), "CAR1");
    EXPECT_TRUE(c->EnableAnchor(""));
    EXPECT_EQ(c->enabledAnchorId(), "");
    EXPECT_TRUE(c->selectedAnchor()); // the selection stays
    rec.clear();
    c->TrackCursor(150, 5);
    c->TrackCursor(30, 70);
    EXPECT_EQ(rec.only({EVENTID_OnCursorIn}), std::vector<std::string>{"OnCursorIn(\"BOX\")"});
}

TEST_F(AnchorsTest, TheFrameOriginShiftsAnchorsAndClearsTheSelection) {
    auto c = makeHypervideo();
    ASSERT_TRUE(c->EnableAnchor("BOX"));
    ASSERT_TRUE(c->EnableAnchor(""));
    ASSERT_EQ(put(*c, "AnchorFrameOrigin", Variant(5)), S_OK);
    EXPECT_FALSE(c->selectedAnchor());
    c->Seek(15); // anchor frame 10: CAR1 at 0..40
    EXPECT_EQ(c->anchorFrameNow(), 10);
    click(*c, 20, 20);
    ASSERT_TRUE(c->selectedAnchor());
    EXPECT_EQ(c->anchorStore().Record(c->selectedAnchor())->id, "CAR1");
    // EnableAnchor seeks to the start frame plus the origin.
    ASSERT_TRUE(c->EnableAnchor("LATE"));
    EXPECT_EQ(get(*c, "CurrentPosition"), Variant(18));
}

TEST_F(AnchorsTest, TheSelectedAnchorIsFramedInRedWhileNotRunning) {
    auto c = makeHypervideo();
    ASSERT_EQ(put(*c, "ShowAnchor", Variant(true)), S_OK);
    c->Seek(5);
    click(*c, 30, 70); // BOX: 20..60 x 60..100
    ASSERT_TRUE(c->selectedAnchor());
    QImage shot = c->rendererWindow()->renderedImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_TRUE(isRed(shot.pixel(20, 60)));
    EXPECT_TRUE(isRed(shot.pixel(59, 99)));
    EXPECT_TRUE(isRed(shot.pixel(40, 60)));
    EXPECT_TRUE(isRed(shot.pixel(20, 80)));
    EXPECT_FALSE(isRed(shot.pixel(60, 80))); // right and bottom are outside
    EXPECT_FALSE(isRed(shot.pixel(40, 100)));
    EXPECT_FALSE(isRed(shot.pixel(40, 80)));
    EXPECT_FALSE(isRed(shot.pixel(19, 60)));
    if (const char* out = std::getenv("QXM_CONTROL_SHOT")) c->grab().save(out);

    ASSERT_EQ(put(*c, "ShowAnchor", Variant(false)), S_OK);
    shot = c->rendererWindow()->renderedImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_FALSE(isRed(shot.pixel(20, 60)));
    ASSERT_EQ(put(*c, "ShowAnchor", Variant(true)), S_OK);
    c->Play(-1);
    shot = c->rendererWindow()->renderedImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_FALSE(isRed(shot.pixel(20, 60))); // never while running
    c->Pause();
    c->SelectAnchor({});
    shot = c->rendererWindow()->renderedImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_FALSE(isRed(shot.pixel(20, 60)));
}

TEST_F(AnchorsTest, ReReadingTheListDropsEveryReferenceIntoIt) {
    auto c = makeHypervideo();
    click(*c, 30, 70);
    c->TrackCursor(30, 70);
    ASSERT_TRUE(c->selectedAnchor());
    ASSERT_TRUE(c->anchorUnderCursor());
    EventRecorder rec(*c);
    // The same movie again, its anchor file now with CAR1 only.
    writeAnchors(movie_, {anchorRecord("CAR1", "Car", {{0, 0, 0, 80, 80}, {29, 0, 0, 80, 80}})});
    ASSERT_TRUE(openMovie(*c, movie_));
    EXPECT_FALSE(c->selectedAnchor());
    EXPECT_FALSE(c->anchorUnderCursor());
    EXPECT_FALSE(c->anchorTimerActive());
    EXPECT_EQ(rec.only({EVENTID_OnCursorOut}), std::vector<std::string>{"OnCursorOut(\"BOX\")"});
    EXPECT_EQ(get(*c, "AnchorNum"), Variant(1));
    c->setObjectRect(QRect(0, 0, 164, 128));
    rec.clear();
    c->TrackCursor(30, 70);
    EXPECT_EQ(rec.texts(), std::vector<std::string>{"OnCursorIn(\"CAR1\")"});
}
