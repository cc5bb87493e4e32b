// The editor as an author uses it, headless: the real program object with its main window,
// the player control created through a private registry, real movies from the test-movie
// writer, scripted prompts and dialogs driven from inside their event loops.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTimer>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <memory>

#include "EditorHarness.h"
#include "TestApplication.h"
#include "editor/anchors/AnchorFile.h"
#include "editor/shell/CMainFrame.h"
#include "editor/shell/CRiveviApp.h"
#include "editor/shell/CRiveviDoc.h"
#include "editor/shell/EditorTexts.h"
#include "editor/shell/dialogs/AnchorListDialog.h"
#include "editor/shell/dialogs/NewAnchorDialog.h"
#include "editor/view/CRivEviFV.h"
#include "editor/view/CommandIds.h"
#include "platform/prompter/Prompter.h"
#include "testing/moviegen/MovieGen.h"

namespace qxm::editor {
namespace {

using namespace testing;

TEST(EditorOpen, MovieShowsItsFieldsAndTheAnchorAskedForFramedInRed) {
    Files& f = Files::get();
    const std::string clip = f.movie("clip.avi");
    ASSERT_TRUE(anchors::WriteAnchorObjectFile(QFileInfo(clip.c_str()).path().toStdString(), "clip",
                                               {anchor("CAR1", "Car", 10, 60)}));
    Editor e;
    ASSERT_TRUE(e.started);
    e.ctx().doc.PendingAnchorID = "CAR1";
    e.ctx().doc.PendingAnchorSet = true;
    ASSERT_TRUE(e.open(clip));
    EXPECT_TRUE(e.ctx().state.MovieOpen);
    EXPECT_TRUE(e.ctx().state.PictureKnown);
    EXPECT_EQ(e.field(1002), "clip.avi");
    EXPECT_EQ(e.field(1004), "100");
    EXPECT_EQ(e.field(1033), "160");
    EXPECT_EQ(e.field(1034), "120");
    EXPECT_EQ(e.frame().windowTitle(), "Movie Marquill");
    EXPECT_TRUE(e.view().frameScrollBar()->isEnabled());
    EXPECT_EQ(e.ctx().table.size(), 1u);
    EXPECT_TRUE(e.ctx().doc.PendingAnchorID.empty());
    // The scales come from the picture on screen.
    const QWidget* renderer = e.movie().renderer();
    ASSERT_NE(renderer, nullptr);
    EXPECT_DOUBLE_EQ(e.ctx().table.XScale, 160.0 / renderer->width());

    // The anchor asked for is current, on its Starting Frame, its rectangle framed in red.
    EXPECT_EQ(e.ctx().table.CurrentAnchor, 0);
    EXPECT_EQ(e.frameNow(), 10);
    EXPECT_EQ(e.field(1012), "Car");
    EXPECT_EQ(e.field(1014), "10");
    EXPECT_TRUE(e.ctx().state.RectShown && e.ctx().state.StartSet && e.ctx().state.EndSet);
    const anchors::Rect r = e.ctx().state.CurrentRect;
    const QImage picture = e.movie().grabPicture();
    EXPECT_EQ(picture.pixelColor(r.Left, (r.Top + r.Bottom) / 2), QColor(255, 0, 0));
    EXPECT_EQ(picture.pixelColor(r.Right - 1, r.Top), QColor(255, 0, 0));
    EXPECT_NE(picture.pixelColor(r.Right, r.Top), QColor(255, 0, 0));

    QDir().mkpath(QString(std::getenv("XDG_DATA_HOME")) + "/../editor");
    EXPECT_TRUE(e.frame().grab().save(QString(std::getenv("XDG_DATA_HOME")) +
                                      "/../editor/main-window.png"));
}

TEST(EditorOpen, MovieObjectFileNarrowsTheRangeOrIsRefused) {
    Files& f = Files::get();
    f.movie("ranged.avi");
    f.write("ranged.mob", "MovieFile=ranged.avi\nStartFrame=10\nEndFrame=5000\n");
    {
        Editor e;
        ASSERT_TRUE(e.open(f.path("ranged.mob")));
        EXPECT_EQ(e.movie().first(), 0);
        EXPECT_EQ(e.movie().last(), 90);
        EXPECT_EQ(e.movie().origin(), 10);
        EXPECT_EQ(e.field(1004), "90");
        EXPECT_EQ(e.frameNow(), 0);
        // The control counts anchor frames from the same frame as the editor.
        EXPECT_EQ(e.movie().control().GetAnchorFrameOrigin(), 10);
        EXPECT_FALSE(e.movie().trackable() && false);
        e.run(ID_VIDEO_LAST);
        EXPECT_EQ(e.frameNow(), 90);
        EXPECT_EQ(e.movie().control().GetCurrentPosition(), 100);
    }
    struct Case {
        const char* mob;
        const char* message;
    };
    const Case refused[] = {
        {"MovieFile=ranged.avi\nStartFrame=101\nEndFrame=5000\n", text::kBadFrameRange},
        {"MovieFile=ranged.avi\nStartFrame=50\nEndFrame=50\n", text::kBadFrameRange},
        {"MovieFile=missing.avi\nStartFrame=0\nEndFrame=5\n", anchors::text::kBadMovieName},
        {"MovieFile=ranged.mpeg\nStartFrame=0\nEndFrame=5\n", anchors::text::kBadMovieExtension},
    };
    for (const Case& c : refused) {
        f.write("bad.mob", c.mob);
        Editor e;
        EXPECT_FALSE(e.open(f.path("bad.mob"))) << c.mob;
        EXPECT_FALSE(e.ctx().state.MovieOpen);
        ASSERT_FALSE(e.prompts.prompts.empty()) << c.mob;
        EXPECT_EQ(e.prompts.prompts.back().text, c.message) << c.mob;
        EXPECT_TRUE(e.ctx().doc.PathName.empty());
    }
}

TEST(EditorVideo, StepsGoToAndTheThumbStayInsideTheRange) {
    Editor e;
    ASSERT_TRUE(e.open(Files::get().movie("plain.avi")));
    e.run(ID_VIDEO_FASTFORWARD);
    EXPECT_EQ(e.frameNow(), 6); // a fifteenth of 100
    e.run(ID_VIDEO_PREV);
    EXPECT_EQ(e.frameNow(), 5);
    EXPECT_EQ(e.field(1003), "5");
    EXPECT_EQ(e.view().frameScrollBar()->value(), 5);
    e.run(ID_VIDEO_LAST);
    e.run(ID_VIDEO_NEXT);
    EXPECT_EQ(e.frameNow(), 100);
    e.run(ID_VIDEO_FIRST);
    e.run(ID_VIDEO_REWIND);
    EXPECT_EQ(e.frameNow(), 0);

    QScrollBar* bar = e.view().frameScrollBar();
    bar->setSliderDown(true); // a drag of the thumb
    bar->setSliderPosition(50);
    bar->setSliderDown(false);
    EXPECT_EQ(e.frameNow(), 50);
    EXPECT_EQ(bar->value(), 50);
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(e.frameNow(), 51);
    EXPECT_EQ(bar->value(), 51);

    // Play and Pause follow the movie's state; the tool bar's first slot follows too.
    e.run(ID_VIDEO_PLAY);
    EXPECT_TRUE(e.ctx().state.Playing);
    EXPECT_FALSE(e.enabled(ID_VIDEO_PLAY));
    EXPECT_EQ(e.frame().playSlot()->data().toInt(), ID_VIDEO_PAUSE);
    e.run(ID_VIDEO_PAUSE);
    EXPECT_FALSE(e.ctx().state.Playing);
    EXPECT_EQ(e.frame().playSlot()->data().toInt(), ID_VIDEO_PLAY);
}

TEST(EditorCommands, EnableRulesFollowTheState) {
    Editor e;
    const int always[] = {ID_FILE_OPEN, ID_APP_EXIT, ID_HELP_TOPICS, ID_APP_ABOUT};
    const int needMovie[] = {ID_FILE_CLOSE, ID_VIDEO_PLAY, ID_VIDEO_STOP, ID_VIDEO_FIRST,
                             ID_VIDEO_LAST, ID_VIDEO_PREV, ID_VIDEO_NEXT, ID_ANCHOR_NEW};
    for (int id : always)
        EXPECT_TRUE(e.enabled(id)) << id;
    for (int id : needMovie)
        EXPECT_FALSE(e.enabled(id)) << id;
    ASSERT_TRUE(e.open(Files::get().movie("plain.avi")));
    for (int id : needMovie)
        EXPECT_TRUE(e.enabled(id)) << id;
    EXPECT_FALSE(e.enabled(ID_VIDEO_PAUSE));
    EXPECT_FALSE(e.enabled(ID_FILE_SAVE));
    EXPECT_FALSE(e.enabled(ID_ANCHOR_LIST));
    e.ctx().table.Assign({anchor("A1", "a", 0, 5)});
    e.ctx().table.AnchorDataSaved = false;
    EXPECT_TRUE(e.enabled(ID_ANCHOR_LIST));
    EXPECT_TRUE(e.enabled(ID_FILE_SAVE));
    e.ctx().doc.Opening = true; // as while a movie opens
    EXPECT_FALSE(e.enabled(ID_FILE_OPEN));
    EXPECT_FALSE(e.enabled(ID_APP_EXIT));
    e.ctx().doc.Opening = false;
    e.ctx().table.AnchorDataSaved = true;
    EXPECT_TRUE(e.ctx().TrackingLoaded);

    Editor second; // one editor at a time: the second ends silently
    EXPECT_FALSE(second.started);
    EXPECT_TRUE(second.prompts.prompts.empty());
}

TEST(EditorStart, CommandLineTrackerAndMissingControl) {
    Files& f = Files::get();
    const std::string spaced = f.movie("my clip.avi");
    struct Case {
        std::vector<std::string> args;
        bool open;
        const char* option;
        const char* message;
    };
    const Case cases[] = {
        {{spaced}, true, "", nullptr},
        {{"/Iabc def", f.movie("clip.avi")}, true, "abc def", nullptr},
        {{f.movie("clip.avi"), "", "/Ix"}, false, "x", nullptr},
        {{f.path("clip.mpeg")}, false, "", text::kBadMovieName},
    };
    for (const Case& c : cases) {
        Editor e(c.args, "libqxm-no-such-tracker.so");
        ASSERT_TRUE(e.started);
        EXPECT_EQ(e.ctx().state.MovieOpen, c.open) << c.args[0];
        EXPECT_EQ(e.ctx().PlayerOption, c.option);
        EXPECT_FALSE(e.ctx().TrackingLoaded); // and nothing said about it
        if (c.message) {
            ASSERT_EQ(e.prompts.prompts.size(), 1u);
            EXPECT_EQ(e.prompts.prompts[0].text, c.message);
        } else {
            EXPECT_TRUE(e.prompts.prompts.empty());
        }
    }
    // Without the player control in the registry the editor says so and does not start.
    f.write("empty-registry", "");
    setenv("QXM_REGISTRY", f.path("empty-registry").c_str(), 1);
    {
        Editor e;
        EXPECT_FALSE(e.started);
        EXPECT_EQ(e.prompts.texts(), std::vector<std::string>{text::kNoControl});
    }
    setenv("QXM_REGISTRY", f.registry().c_str(), 1);
}

TEST(EditorDocument, UnsavedAnchorsAreAskedForBeforeTheyGo) {
    Files& f = Files::get();
    const std::string movie = f.movie("ask.avi");
    const std::string obj = f.path("ask.obj");
    enum class Way { Close, Open, Quit };
    struct Case {
        Way way;
        Answer answer;
        bool failSave;
        bool stillOpen;
        bool saved;
    };
    const Case cases[] = {
        {Way::Close, Answer::Cancel, false, true, false},
        {Way::Close, Answer::No, false, false, false},
        {Way::Close, Answer::Yes, false, false, true},
        {Way::Close, Answer::Yes, true, true, false},
        {Way::Quit, Answer::Cancel, false, true, false},
        {Way::Quit, Answer::No, false, false, false},
        {Way::Open, Answer::Cancel, false, true, false},
    };
    for (const Case& c : cases) {
        std::remove(obj.c_str());
        Editor e;
        ASSERT_TRUE(e.open(movie));
        e.ctx().table.Assign({anchor("N1", "new", 0, 9)});
        e.ctx().table.AnchorDataSaved = false;
        e.prompts.queue(c.answer);
        anchors::SaveHooks previous;
        if (c.failSave)
            previous = anchors::setSaveHooks(
                {{}, {}, [](anchors::SaveStep s) { return s == anchors::SaveStep::Create; }});
        if (c.way == Way::Close) e.run(ID_FILE_CLOSE);
        if (c.way == Way::Open) e.run(ID_FILE_OPEN);
        if (c.way == Way::Quit) e.frame().close();
        if (c.failSave) anchors::setSaveHooks(previous);

        const int way = int(c.way), answer = int(c.answer);
        ASSERT_FALSE(e.prompts.prompts.empty()) << way << " " << answer;
        EXPECT_EQ(e.prompts.prompts[0].text, text::kSaveQuestion);
        EXPECT_EQ(e.prompts.prompts[0].caption, text::kSaveCaption);
        EXPECT_EQ(e.prompts.prompts[0].buttons, Buttons::YesNoCancel);
        const bool open = c.way == Way::Quit ? e.frame().isVisible() : e.ctx().state.MovieOpen;
        EXPECT_EQ(open, c.stillOpen) << way << " " << answer;
        EXPECT_EQ(QFileInfo::exists(obj.c_str()), c.saved) << way << " " << answer;
        if (c.stillOpen && c.way != Way::Quit) EXPECT_EQ(e.ctx().table.size(), 1u);
        EXPECT_TRUE(e.prompts.fileRequests.empty()); // Cancel never reaches the file dialog
    }
    // After a save the close asks nothing; with no movie it does nothing at all.
    Editor e;
    ASSERT_TRUE(e.open(movie));
    e.run(ID_FILE_CLOSE);
    e.run(ID_FILE_CLOSE);
    EXPECT_TRUE(e.prompts.prompts.empty());
    // The Open command's dialog: its title and filter, the root folder the first time.
    e.prompts.queueFile(movie);
    e.run(ID_FILE_OPEN);
    ASSERT_EQ(e.prompts.fileRequests.size(), 1u);
    EXPECT_EQ(e.prompts.fileRequests[0].title, text::kOpenTitle);
    EXPECT_EQ(e.prompts.fileRequests[0].filter, text::kOpenFilter);
    EXPECT_EQ(e.prompts.fileRequests[0].initialPath, "/");
    EXPECT_TRUE(e.ctx().state.MovieOpen);
    EXPECT_EQ(e.ctx().doc.PathName, movie);
}

TEST(EditorAnchors, NewAnchorCastOffAndTheList) {
    Editor e;
    ASSERT_TRUE(e.open(Files::get().movie("plain.avi")));
    whenModal([&](QWidget*) { e.view().newAnchorDialog().okButton()->click(); });
    e.run(ID_ANCHOR_NEW);
    ASSERT_EQ(e.ctx().table.size(), 1u);
    EXPECT_EQ(e.ctx().table[0].ID, "AncID1");
    EXPECT_EQ(e.field(1012), "AnchorName1");
    EXPECT_EQ(e.field(1014), "");
    EXPECT_TRUE(e.ctx().state.AnchorActive);
    EXPECT_FALSE(e.ctx().table.AnchorDataSaved);

    // The new anchor is unfinished: a second New Anchor asks first; No keeps it.
    e.prompts.queue(Answer::No);
    e.run(ID_ANCHOR_NEW);
    EXPECT_EQ(e.prompts.texts(), std::vector<std::string>{text::kCastOffQuestion});
    EXPECT_EQ(e.ctx().table.size(), 1u);
    EXPECT_EQ(e.ctx().table.CurrentAnchor, 0);

    // A name holding '[' still finds its anchor in the list.
    e.ctx().table.Assign({anchor("C1", "Car[1", 5, 30), anchor("B2", "Bus", 40, 80)});
    whenModal([&](QWidget*) {
        AnchorListDialog& list = e.view().anchorListDialog();
        list.list()->setCurrentRow(0);
        list.okButton()->click();
    });
    e.run(ID_ANCHOR_LIST);
    EXPECT_EQ(e.ctx().table.CurrentAnchor, 0);
    EXPECT_EQ(e.frameNow(), 5);
    EXPECT_EQ(e.field(1013), "C1");
    EXPECT_TRUE(e.ctx().state.RectShown && e.ctx().state.EndSet);

    // Stepping outside the anchor's frames frames nothing.
    e.run(ID_VIDEO_LAST);
    EXPECT_FALSE(e.ctx().state.RectShown);
    // Key frames that do not reach the anchor's ends (a hand-edited file) frame nothing there
    // and read nothing outside the entries; an anchor without key frames frames nothing at all.
    anchors::AnchorRecord gap = anchor("G1", "gap", 20, 40);
    gap.StartFrame = 0;
    gap.EndFrame = 100;
    anchors::AnchorRecord empty = anchor("E1", "empty", 0, 1);
    empty.Entries.clear();
    e.ctx().table.Assign({gap, empty});
    e.view().ActivateAnchor(0);
    e.run(ID_VIDEO_NEXT);
    EXPECT_FALSE(e.ctx().state.RectShown);
    e.run(ID_VIDEO_LAST);
    EXPECT_FALSE(e.ctx().state.RectShown);
    e.view().ActivateAnchor(1);
    EXPECT_FALSE(e.ctx().state.RectShown);
}

TEST(EditorHelp, HelpTopicsPausesAndShowsTheManual) {
    Editor e;
    ASSERT_TRUE(e.open(Files::get().movie("plain.avi")));
    e.run(ID_VIDEO_PLAY);
    e.run(ID_HELP_TOPICS);
    EXPECT_FALSE(e.ctx().state.Playing);
    QWidget* help = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == "HelpWindow" && w->isVisible()) help = w;
    ASSERT_NE(help, nullptr);
    EXPECT_EQ(help->windowTitle(), text::kHelpTitle);
    const auto* browser = help->findChild<QTextBrowser*>("HelpBrowser");
    ASSERT_NE(browser, nullptr);
    EXPECT_TRUE(browser->toPlainText().contains("Automatic Setting"));
}

} // namespace
} // namespace qxm::editor
