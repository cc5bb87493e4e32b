// The engine's windows: size modes, panel parts, layout, mouse events, overlay, full screen.
#include "EngineTestSupport.h"
#include "TestApplication.h"

#include "platform/engine/ControlConsole.h"
#include "platform/engine/FullScreenView.h"
#include "platform/engine/VideoRenderer.h"
#include "platform/prompter/Prompter.h"

#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QTest>

#include <cmath>

#include <gtest/gtest.h>

using namespace qxm;
using namespace qxm::engine;
using namespace qxm::engine::test;

namespace {

using Events = std::vector<std::string>;

class EngineWindow : public ::testing::Test {
protected:
    void SetUp() override {
        testApplication();
        movie.movieRecipe.width = 160;
        movie.movieRecipe.height = 120;
        movie.movieRecipe.frames = 20;
        engine.setSourceOpener(fakeOpener(movie));
    }
    void open() { ASSERT_TRUE(openAndWait(engine, "fake.avi")); }

    AppFirst appFirst; // the application exists before any widget member
    ScriptedPrompter prompter;
    FakeMovie movie;
    MovieEngine engine;
};

} // namespace

TEST_F(EngineWindow, WindowSizeModesSizeThePicture) {
    open();
    const int panel = engine.console()->panelHeight();
    EXPECT_GT(panel, 0);
    EXPECT_EQ(engine.renderer()->size(), QSize(160, 120));
    EXPECT_EQ(engine.size(), QSize(160, 120 + panel));
    EXPECT_EQ(engine.console()->geometry(), QRect(0, 120, 160, panel));

    ASSERT_TRUE(engine.setMovieWindowSize(kDoubleSize));
    EXPECT_EQ(engine.renderer()->size(), QSize(320, 240));
    EXPECT_EQ(engine.size(), QSize(320, 240 + panel));

    const QSize screen = engine.screen()->geometry().size();
    const double screenArea = double(screen.width()) * screen.height();
    for (auto [mode, share] :
         {std::pair{kSixteenthScreen, 1.0 / 16}, {kQuarterScreen, 0.25}, {kHalfScreen, 0.5}}) {
        SCOPED_TRACE(mode);
        ASSERT_TRUE(engine.setMovieWindowSize(mode));
        const QSize s = engine.renderer()->size();
        EXPECT_NEAR(double(s.width()) * s.height() / screenArea, share, 0.01);
        EXPECT_NEAR(double(s.width()) / s.height(), 160.0 / 120.0, 0.02);
        EXPECT_EQ(engine.height(), s.height() + panel);
    }
    EXPECT_FALSE(engine.setMovieWindowSize(5));
    EXPECT_FALSE(engine.setMovieWindowSize(-1));
    EXPECT_EQ(engine.MovieWindowSize(), kHalfScreen);
}

TEST_F(EngineWindow, PanelPartsShowAndHideWithTheirProperties) {
    open();
    ControlConsole* console = engine.console();
    const int full = console->panelHeight();
    engine.setShowDisplay(false);
    const int withoutDisplay = console->panelHeight();
    EXPECT_LT(withoutDisplay, full);
    EXPECT_FALSE(console->display()->isVisibleTo(&engine));
    EXPECT_EQ(engine.height(), 120 + withoutDisplay); // the picture keeps its size
    engine.setShowTracker(false);
    EXPECT_TRUE(console->playButton()->isVisibleTo(&engine));
    EXPECT_FALSE(console->tracker()->isVisibleTo(&engine));
    engine.setShowControls(false);
    EXPECT_EQ(console->panelHeight(), 0);
    EXPECT_EQ(console->height(), 0);
    EXPECT_FALSE(console->isVisibleTo(&engine));
    EXPECT_EQ(engine.size(), QSize(160, 120));
    engine.setShowDisplay(true);
    EXPECT_TRUE(console->isVisibleTo(&engine));
    EXPECT_FALSE(console->playButton()->isVisibleTo(&engine));
    EXPECT_GT(console->height(), 0);
    engine.setShowTracker(true); // the tracker belongs to the hidden control panel
    EXPECT_FALSE(console->tracker()->isVisibleTo(&engine));
}

TEST_F(EngineWindow, LayoutKeepsTheAspectRatioUnlessACallerPlacesTheChildren) {
    open();
    engine.show(); // a hidden widget hears of its new size only when shown
    const int panel = engine.console()->panelHeight();
    engine.resize(400, 200 + panel);
    // 400 x 200 holds a 4:3 picture of 266 x 200, centred.
    EXPECT_EQ(engine.renderer()->geometry(), QRect(67, 0, 266, 200));
    EXPECT_EQ(engine.console()->geometry(), QRect(0, 200, 400, panel));

    // A caller that moves the children itself keeps its layout when the engine is resized.
    engine.renderer()->setGeometry(2, 3, 200, 100);
    engine.console()->setGeometry(0, 180, 300, panel);
    engine.resize(300, 180 + panel);
    EXPECT_EQ(engine.renderer()->geometry(), QRect(2, 3, 200, 100));
    EXPECT_EQ(engine.console()->geometry(), QRect(0, 180, 300, panel));
    // The picture fills whatever size it is given.
    EXPECT_EQ(barcodeOf(engine.renderer()->renderedImage()), 0);
    engine.hide();
}

TEST_F(EngineWindow, MouseEventsCarryButtonShiftAndPicturePixels) {
    open();
    engine.setMovieWindowSize(kDoubleSize);
    engine.show();
    EventLog log(engine);
    VideoRenderer* r = engine.renderer();
    QTest::mousePress(r, Qt::LeftButton, Qt::ShiftModifier, QPoint(10, 20));
    QTest::mouseMove(r, QPoint(30, 40));
    QTest::mouseRelease(r, Qt::LeftButton, Qt::ShiftModifier, QPoint(31, 41));
    QTest::mousePress(r, Qt::RightButton, Qt::ControlModifier | Qt::AltModifier, QPoint(300, 200));
    QTest::mouseRelease(r, Qt::RightButton, Qt::NoModifier, QPoint(300, 200));
    QTest::mouseDClick(r, Qt::LeftButton, Qt::NoModifier, QPoint(5, 6));
    const Events expected{"down 1 1 10 20", "move 1 0 30 40", "up 1 1 31 41", "down 2 6 300 200",
                          "up 2 0 300 200"};
    ASSERT_GE(log.events.size(), expected.size());
    EXPECT_EQ(Events(log.events.begin(), log.events.begin() + 5), expected);
    EXPECT_EQ(log.count("dbl"), 1);
    engine.hide();
}

TEST_F(EngineWindow, ContextMenuOnlyWhenEnabled) {
    open();
    engine.show();
    auto* menu = engine.findChild<QMenu*>();
    ASSERT_NE(menu, nullptr);
    engine.setEnableContextMenu(false);
    QTest::mouseClick(engine.renderer(), Qt::RightButton, Qt::NoModifier, QPoint(20, 20));
    EXPECT_FALSE(menu->isVisible());
    engine.setEnableContextMenu(true);
    QTest::mouseClick(engine.renderer(), Qt::RightButton, Qt::NoModifier, QPoint(20, 20));
    ASSERT_TRUE(waitUntil([&] { return menu->isVisible(); }));
    const auto actions = menu->actions();
    ASSERT_EQ(actions.size(), 3);
    EXPECT_EQ(actions[0]->text(), "P&lay");
    EXPECT_TRUE(actions[0]->isEnabled());
    EXPECT_FALSE(actions[1]->isEnabled());
    EXPECT_FALSE(actions[2]->isEnabled());
    actions[0]->trigger();
    EXPECT_EQ(engine.CurrentState(), kRunning);
    menu->hide();
    engine.Stop();
    engine.hide();
}

TEST_F(EngineWindow, OverlayIsPaintedOverTheVideo) {
    open();
    engine.setOverlayPainter([](QPainter& p) {
        p.setPen(QColor(255, 0, 0));
        p.drawRect(QRect(40, 50, 30, 20)); // outline 40..70 x 50..70
    });
    const QImage picture = engine.renderer()->renderedImage();
    EXPECT_EQ(picture.pixelColor(40, 60), QColor(255, 0, 0));
    EXPECT_EQ(picture.pixelColor(70, 50), QColor(255, 0, 0));
    EXPECT_NE(picture.pixelColor(55, 60), QColor(255, 0, 0));
    // The grabbed window shows the same.
    const QImage grabbed = engine.renderer()->grab().toImage();
    EXPECT_EQ(grabbed.pixelColor(40, 60), QColor(255, 0, 0));
    EXPECT_EQ(barcodeOf(grabbed), 0);
}

TEST_F(EngineWindow, FullScreenShowsThePictureAndEscapeLeaves) {
    engine.setFullScreenMode(true); // remembered until a movie is there
    open();
    auto* view = [] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == "FullScreen" && w->isVisible()) return w;
        return static_cast<QWidget*>(nullptr);
    }();
    ASSERT_NE(view, nullptr);
    EXPECT_TRUE(view->isFullScreen());
    QTest::keyClick(view, Qt::Key_Escape);
    EXPECT_FALSE(engine.FullScreenMode());
    EXPECT_FALSE(view->isVisible());
}

TEST(FitKeepingAspect, CentresTheLargestFittingRectangle) {
    EXPECT_EQ(fitKeepingAspect(QSize(160, 120), QRect(0, 0, 400, 200)), QRect(67, 0, 266, 200));
    EXPECT_EQ(fitKeepingAspect(QSize(160, 120), QRect(0, 0, 160, 400)), QRect(0, 140, 160, 120));
    EXPECT_EQ(fitKeepingAspect(QSize(0, 0), QRect(1, 2, 3, 4)), QRect(1, 2, 3, 4));
}
