// The control with real movies: opening and clearing, open complete, state changes with finish
// detection and rewind, position clamping, engine errors, and the layout of its windows.
#include "player_control/control/tests/ControlTestSupport.h"

#include "platform/engine/ControlConsole.h"
#include "platform/prompter/Prompter.h"

#include <cstdlib>

using namespace qxm;
using namespace qxm::qxmovie;
using namespace qxm::qxmovie::testing;

namespace {

using PlaybackTest = ControlTest;

QXMovieState noAutoPlay() {
    QXMovieState st;
    st.AutoPlay = false;
    return st;
}

} // namespace

TEST_F(PlaybackTest, OpeningTakesOverSizeSelectionAndAnchors) {
    const std::string movie = writeMovie("clip.avi", 20);
    writeAnchors(movie,
                 {anchorRecord("CAR1", "Red car", {{0, 10, 10, 50, 50}, {19, 60, 10, 100, 50}}),
                  anchorRecord("CAR2", "Blue car", {{5, 0, 0, 20, 20}, {9, 0, 0, 20, 20}})});
    TestSite site;
    auto c = makeControl(noAutoPlay(), &site);
    EventRecorder rec(*c);
    ASSERT_TRUE(openMovie(*c, movie));
    EXPECT_EQ(get(*c, "AnchorNum"), Variant(2));
    EXPECT_EQ(get(*c, "ImageSourceWidth"), Variant(160));
    EXPECT_EQ(get(*c, "ImageSourceHeight"), Variant(120));
    EXPECT_EQ(get(*c, "Duration"), Variant(20));
    EXPECT_EQ(get(*c, "SelectionStart"), Variant(0));
    EXPECT_EQ(get(*c, "SelectionEnd"), Variant(19));
    EXPECT_EQ(get(*c, "MovieFile"), Variant(movie));
    const Variant one[] = {Variant(1)};
    Variant v;
    EXPECT_EQ(dispGet(*c->dispatch(), DISPID_AnchorID, v, nullptr, one), S_OK);
    EXPECT_EQ(v, Variant("CAR2"));
    EXPECT_EQ(dispGet(*c->dispatch(), "AnchorName", v, nullptr, one), S_OK);
    EXPECT_EQ(v, Variant("Blue car"));
    const Variant two[] = {Variant(2)};
    EXPECT_EQ(dispGet(*c->dispatch(), "AnchorID", v, nullptr, two), DISP_E_EXCEPTION);
    EXPECT_EQ(rec.texts(), std::vector<std::string>{"OpenComplete()"});
    EXPECT_EQ(c->engine()->CurrentState(), 0); // AutoPlay off: stays stopped
    // The control took the engine's size (auto-size) and the natural picture size.
    ASSERT_FALSE(site.requested.empty());
    EXPECT_EQ(c->size(), site.requested.back());
    EXPECT_EQ(c->naturalPictureSize(), QSize(160, 120));
    EXPECT_NE(std::find(site.changed.begin(), site.changed.end(), DISPID_MovieFile),
              site.changed.end());
}

TEST_F(PlaybackTest, AutoPlayStartsInUserModeOnlyAndPlayFinishesWithRewind) {
    const std::string movie = writeMovie("clip.avi", 8);
    TestSite site;
    site.user = false;
    {
        auto c = makeControl({}, &site);
        EventRecorder rec(*c);
        ASSERT_TRUE(openMovie(*c, movie));
        EXPECT_EQ(c->engine()->CurrentState(), 0);
        EXPECT_EQ(rec.texts(), std::vector<std::string>{"OpenComplete()"});
    }
    site.user = true;
    auto c = makeControl({}, &site);
    EventRecorder rec(*c);
    ASSERT_TRUE(openMovie(*c, movie));
    ASSERT_TRUE(waitFor([&] { return rec.count(EVENTID_OnMovieFinish) > 0; }));
    EXPECT_EQ(rec.texts(),
              (std::vector<std::string>{"OnMovieStart()", "OnStateChange(0, 2)", "OpenComplete()",
                                        "OnMovieFinish()", "OnStateChange(2, 0)"}));
    EXPECT_EQ(get(*c, "CurrentPosition"), Variant(0)); // rewound to SelectionStart
}

TEST_F(PlaybackTest, FinishWithoutRewindStaysAtTheEndAndPauseIsAStop) {
    const std::string movie = writeMovie("clip.avi", 8);
    QXMovieState st = noAutoPlay();
    st.AutoRewind = false;
    auto c = makeControl(st);
    ASSERT_TRUE(openMovie(*c, movie));
    EventRecorder rec(*c);
    ASSERT_EQ(dispCall(*c->dispatch(), "Play", std::vector<Variant>{Variant(3)}), S_OK);
    ASSERT_TRUE(waitFor([&] { return rec.count(EVENTID_OnMovieFinish) > 0; }));
    EXPECT_EQ(get(*c, "CurrentPosition"), Variant(7));
    EXPECT_EQ(rec.only({EVENTID_OnMovieStart, EVENTID_OnMovieStop, EVENTID_OnMovieFinish,
                        EVENTID_OnStateChange}),
              (std::vector<std::string>{"OnMovieStart()", "OnStateChange(0, 2)", "OnMovieFinish()",
                                        "OnStateChange(2, 0)"}));
    // Play(3) seeked first: the first position change went to frame 3.
    const auto moves = rec.only({EVENTID_OnPositionChange});
    ASSERT_FALSE(moves.empty());
    EXPECT_EQ(moves.front(), "OnPositionChange(0, 3)");

    rec.clear();
    ASSERT_EQ(put(*c, "AutoRepeat", Variant(true)), S_OK);
    c->Play(0);
    ASSERT_TRUE(waitFor([&] { return rec.count(EVENTID_OnMovieStart) > 0; }));
    c->Pause();
    EXPECT_EQ(rec.only({EVENTID_OnMovieStop, EVENTID_OnStateChange}).back(), "OnStateChange(2, 1)");
    EXPECT_EQ(rec.count(EVENTID_OnMovieStop), 1u);
    // A stop before the end is a stop, not a finish.
    rec.clear();
    c->Stop();
    EXPECT_EQ(rec.texts(), (std::vector<std::string>{"OnMovieStop()", "OnStateChange(1, 0)"}));
}

TEST_F(PlaybackTest, PositionsAreClampedIntoTheSelection) {
    const std::string movie = writeMovie("clip.avi", 30);
    auto c = makeControl(noAutoPlay());
    ASSERT_TRUE(openMovie(*c, movie));
    ASSERT_EQ(put(*c, "SelectionEnd", Variant(20)), S_OK);
    ASSERT_EQ(put(*c, "SelectionStart", Variant(5)), S_OK);
    EXPECT_EQ(get(*c, "CurrentPosition"), Variant(5)); // SelectionStart seeks
    ExcepInfo info;
    EXPECT_EQ(put(*c, "SelectionEnd", Variant(4), &info), DISP_E_EXCEPTION);  // below the start
    EXPECT_EQ(put(*c, "SelectionEnd", Variant(31), &info), DISP_E_EXCEPTION); // past duration
    EXPECT_EQ(put(*c, "SelectionStart", Variant(21), &info), DISP_E_EXCEPTION);
    EXPECT_EQ(info.scode, controlError(380));
    EventRecorder rec(*c);
    ASSERT_EQ(put(*c, "CurrentPosition", Variant(25)), S_OK);
    EXPECT_EQ(get(*c, "CurrentPosition"), Variant(20));
    ASSERT_EQ(put(*c, "CurrentPosition", Variant(2)), S_OK);
    EXPECT_EQ(get(*c, "CurrentPosition"), Variant(5));
    const auto moves = rec.only({EVENTID_OnPositionChange});
    ASSERT_GE(moves.size(), 2u);
    EXPECT_NE(std::find(moves.begin(), moves.end(), "OnPositionChange(5, 20)"), moves.end());
    EXPECT_NE(std::find(moves.begin(), moves.end(), "OnPositionChange(20, 5)"), moves.end());
}

TEST_F(PlaybackTest, EngineErrorsAreReportedAndAFailedOpenClearsTheMovie) {
    auto c = makeControl(noAutoPlay());
    EventRecorder rec(*c);
    ScriptedPrompter prompter;
    const std::string missing = (dir_ / "missing.avi").string();
    ASSERT_EQ(put(*c, "MovieFile", Variant(missing)), S_OK);
    ASSERT_TRUE(waitFor([&] { return c->MovieFile().empty() && rec.count(EVENTID_OnError); }));
    EXPECT_EQ(rec.count(EVENTID_OpenComplete), 0u);
    EXPECT_EQ(rec.only({EVENTID_OnError}), std::vector<std::string>{"OnError(1)"});
    EXPECT_TRUE(prompter.prompts.empty()); // the engine's own message was suppressed

    // Code 600 is ignored: no OnError, and the open completes.
    const std::string movie = writeMovie("clip.avi", 10);
    rec.clear();
    ASSERT_EQ(put(*c, "MovieFile", Variant(movie)), S_OK);
    bool cancel = false;
    emit c->engine()->error(600, "ignored", "engine", &cancel);
    EXPECT_FALSE(cancel);
    ASSERT_TRUE(waitFor([&] { return rec.count(EVENTID_OpenComplete) > 0; }));
    EXPECT_EQ(rec.count(EVENTID_OnError), 0u);
    EXPECT_EQ(c->MovieFile(), movie);
}

TEST_F(PlaybackTest, MalformedAnchorFilesRaiseTheReadErrorAndEmptyTheList) {
    const std::string good = writeMovie("good.avi", 10);
    writeAnchors(good, {anchorRecord("A", "a", {{0, 0, 0, 10, 10}, {9, 0, 0, 10, 10}})});
    const std::string bad = writeMovie("bad.avi", 10);
    writeText((dir_ / "bad.obj").string(), "[A:a:0-9:3]\n5:0,0,10,10;\n4:0,0,10,10;\n");
    auto c = makeControl(noAutoPlay());
    ASSERT_TRUE(openMovie(*c, good));
    EXPECT_EQ(c->anchorStore().Count(), 1);
    ExcepInfo info;
    EXPECT_EQ(put(*c, "MovieFile", Variant(bad), &info), DISP_E_EXCEPTION);
    EXPECT_EQ(info.scode, hresultFromBits(0x800A07D2));
    EXPECT_EQ(info.description, "Anchor Data Read Error");
    EXPECT_EQ(info.helpContext, 215u);
    EXPECT_EQ(c->MovieFile(), good);
    EXPECT_EQ(c->anchorStore().Count(), 0);
    EXPECT_EQ(c->engine()->FileName().toStdString(), good); // the old movie plays on

    // A control restored with that movie cannot create its window.
    QXMovieState st;
    st.MovieFile = bad;
    CQXMovieCtrl restored;
    restored.loadState(st);
    EXPECT_EQ(restored.createControlWindow(), ANCHOR_ERR_FORMAT);
}

TEST_F(PlaybackTest, ClearingTheMovieResetsEverythingTiedToIt) {
    const std::string movie = writeMovie("clip.avi", 10);
    writeAnchors(movie, {anchorRecord("A", "a", {{0, 0, 0, 80, 80}, {9, 0, 0, 80, 80}})});
    auto c = makeControl(noAutoPlay());
    ASSERT_TRUE(openMovie(*c, movie));
    ASSERT_EQ(put(*c, "AnchorFrameOrigin", Variant(3)), S_OK);
    ASSERT_TRUE(c->EnableAnchor("A"));
    EXPECT_TRUE(c->selectedAnchor());
    ASSERT_EQ(put(*c, "MovieFile", Variant("")), S_OK);
    EXPECT_FALSE(c->selectedAnchor());
    EXPECT_FALSE(c->anchorTimerActive());
    EXPECT_EQ(c->enabledAnchorId(), "");
    EXPECT_EQ(get(*c, "AnchorFrameOrigin"), Variant(0));
    EXPECT_EQ(get(*c, "AnchorNum"), Variant(0));
    EXPECT_EQ(get(*c, "ImageSourceWidth"), Variant(0));
    EXPECT_EQ(get(*c, "SelectionEnd"), Variant(-1));
    EXPECT_EQ(c->rendererWindow(), nullptr);
    EXPECT_EQ(c->engine()->CurrentState(), -1);
    EXPECT_FALSE(c->engine()->EnableTracker());
}

TEST_F(PlaybackTest, MoviePathsResolveAgainstThePage) {
    const std::string movie = writeMovie("clip.avi", 10);
    TestSite site;
    site.location = "file://" + dir_.string() + "/page.html";
    auto c = makeControl(noAutoPlay(), &site);
    EventRecorder rec(*c);
    ASSERT_EQ(put(*c, "MovieFile", Variant("clip.avi")), S_OK);
    EXPECT_EQ(get(*c, "MovieFile"), Variant("file://" + movie));
    ASSERT_EQ(put(*c, "MovieFile", Variant("/clip.avi")), S_OK);
    EXPECT_EQ(get(*c, "MovieFile"), Variant("file://" + movie));
}

TEST_F(PlaybackTest, LayoutWithAndWithoutTheControlPanel) {
    const std::string movie = writeMovie("clip.avi", 10);
    TestSite site;
    auto c = makeControl(noAutoPlay(), &site);
    ASSERT_TRUE(openMovie(*c, movie));
    auto* console = c->engine()->console();
    const int h = console->height();
    ASSERT_GT(h, 0);
    c->setObjectRect(QRect(0, 0, 400, 300));
    EXPECT_EQ(c->engine()->geometry(), QRect(0, 0, 400, 300));
    EXPECT_EQ(console->geometry(), QRect(0, 300 - h, 400, h));
    const int w = 396, a = 300 - h - 8;
    const double r = 160.0 / 120.0;
    const QSize picture = r >= double(w) / a ? QSize(w, int(w / r)) : QSize(int(r * a), a);
    EXPECT_EQ(c->rendererWindow()->geometry(),
              QRect((w - picture.width() + 4) / 2, (a - picture.height() + 2) / 2, picture.width(),
                    picture.height()));

    if (const char* out = std::getenv("QXM_CONTROL_LAYOUT_SHOT")) c->grab().save(out);

    // Without the panel (nothing of it shown) the picture fills the area, aspect or not.
    site.grantSizes = false;
    ASSERT_EQ(put(*c, "ShowControls", Variant(false)), S_OK);
    ASSERT_EQ(put(*c, "ShowTracker", Variant(false)), S_OK);
    c->setObjectRect(QRect(0, 0, 400, 300));
    EXPECT_EQ(c->rendererWindow()->geometry(), QRect(2, 1, 396, 292));

    // Design mode: only the engine is fitted.
    site.user = false;
    c->setObjectRect(QRect(0, 0, 300, 200));
    EXPECT_EQ(c->engine()->geometry(), QRect(0, 0, 300, 200));
    EXPECT_NE(c->rendererWindow()->geometry(), QRect(2, 1, 296, 192));
}

TEST_F(PlaybackTest, ContextMenuItemsFollowTheState) {
    const std::string movie = writeMovie("clip.avi", 10);
    TestSite site;
    auto c = makeControl(noAutoPlay(), &site);
    auto states = [&] {
        std::vector<std::pair<int, std::string>> out;
        auto menu = c->buildContextMenu();
        for (QAction* a : menu->actions())
            if (!a->isSeparator())
                out.push_back({a->data().toInt(), std::string(a->isEnabled() ? "e" : "-") +
                                                      (a->isChecked() ? "c" : "")});
        return out;
    };
    using V = std::vector<std::pair<int, std::string>>;
    EXPECT_EQ(states(), (V{{32768, "-"},
                           {32769, "-"},
                           {32770, "-"},
                           {32772, "ec"},
                           {32773, "e"},
                           {32774, "ec"},
                           {32775, "e"},
                           {32776, "e"}}));
    ASSERT_TRUE(openMovie(*c, movie));
    EXPECT_EQ(states()[0].second, "e");
    c->Pause();
    EXPECT_EQ(states()[0].second, "e");
    EXPECT_EQ(states()[1].second, "-");
    EXPECT_EQ(states()[2].second, "e");
    auto menu = c->buildContextMenu();
    EXPECT_EQ(menu->actions()[0]->text().toStdString(), "P&lay");
    EXPECT_EQ(menu->actions().back()->text().toStdString(), "&About QX-MOVIE Control...");
    // The toggles go through the setters.
    c->runMenuCommand(ID_MENU_ANCHOR);
    c->runMenuCommand(ID_MENU_CURSOR);
    EXPECT_TRUE(c->ShowAnchor());
    EXPECT_FALSE(c->ChangeCursor());
    c->runMenuCommand(ID_MENU_PROPERTIES);
    EXPECT_EQ(site.propertiesShown, 1);
    EventRecorder rec(*c);
    c->runMenuCommand(ID_MENU_PLAY);
    EXPECT_EQ(c->engine()->CurrentState(), 2);
    EXPECT_EQ(states()[1].second, "e");
    c->runMenuCommand(ID_MENU_STOP);
    EXPECT_EQ(c->engine()->CurrentState(), 0);
}

TEST_F(PlaybackTest, EngineIsMadeFromItsSavedStateWithTheStoredSettings) {
    const std::string movie = writeMovie("clip.avi", 10);
    QXMovieState st = noAutoPlay();
    st.MovieFile = movie;
    st.PlaybackRate = 1;
    st.AutoRepeat = true;
    st.ShowTracker = false;
    st.MovieWindowSetting = 1;
    CQXMovieCtrl c;
    c.loadState(st);
    EventRecorder rec(c);
    ASSERT_EQ(c.createControlWindow(), 0);
    c.show();
    auto* e = c.engine();
    ASSERT_TRUE(e);
    EXPECT_TRUE(e->isVisible());
    EXPECT_EQ(e->Rate(), 2.0);
    EXPECT_EQ(e->PlayCount(), 0);
    EXPECT_FALSE(e->ShowTracker());
    EXPECT_EQ(e->MovieWindowSize(), 1);
    EXPECT_FALSE(e->AutoRewind());
    EXPECT_FALSE(e->EnableContextMenu());
    EXPECT_EQ(e->DisplayMode(), 1);
    EXPECT_FALSE(c.autoSizeFlag()); // restored with a movie: keeps the container's size
    ASSERT_TRUE(waitFor([&] { return rec.count(EVENTID_OpenComplete) > 0; }));
    EXPECT_EQ(c.size(), QSize(kInitialWidth, kInitialHeight));
    EXPECT_TRUE(c.autoSizeFlag());
    c.closeControl();
    EXPECT_EQ(c.engine(), nullptr);
    EXPECT_EQ(c.MovieFile(), "");
}

TEST_F(PlaybackTest, APersistedValueOutOfRangeSkipsOnlyThatSetting) {
    QXMovieState st;
    st.PlaybackRate = 7;
    st.MovieWindowSetting = 9;
    st.ShowTracker = false;
    st.FullScreenMode = false;
    auto c = makeControl(st);
    ASSERT_TRUE(c->engine());
    EXPECT_EQ(c->engine()->Rate(), 1.0);
    EXPECT_EQ(c->engine()->MovieWindowSize(), 0);
    EXPECT_FALSE(c->engine()->ShowTracker());
    EXPECT_EQ(c->PlaybackRate(), 7); // loaded unchanged
}
