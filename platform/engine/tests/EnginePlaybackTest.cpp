// Playback: the state and position event sequences, selections, repeats, rates, dropping.
#include "EngineTestSupport.h"
#include "TestApplication.h"

#include "platform/engine/ControlConsole.h"
#include "platform/engine/VideoRenderer.h"
#include "platform/prompter/Prompter.h"

#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTest>

#include <gtest/gtest.h>

using namespace qxm;
using namespace qxm::engine;
using namespace qxm::engine::test;

namespace {

using Events = std::vector<std::string>;

class EnginePlayback : public ::testing::Test {
protected:
    void SetUp() override {
        testApplication();
        movie.movieRecipe.width = 96;
        movie.movieRecipe.height = 72;
        movie.movieRecipe.frames = 30;
        movie.movieRecipe.fps = 25;
    }
    // Opens the scripted movie and starts logging after the open.
    void open() {
        engine.setSourceOpener(fakeOpener(movie));
        ASSERT_TRUE(openAndWait(engine, "fake.avi"));
        log = std::make_unique<EventLog>(engine);
    }
    bool waitForState(int state) {
        return waitUntil([&] { return engine.CurrentState() == state; });
    }
    // Frames shown while running, sampled on every repaint request of the picture.
    std::vector<int> shown;
    void recordFrames() {
        QObject::connect(&engine, &MovieEngine::timer,
                         [this] { shown.push_back(engine.renderer()->frameNumber()); });
    }

    AppFirst appFirst; // the application exists before any widget member
    ScriptedPrompter prompter;
    FakeMovie movie;
    MovieEngine engine;
    std::unique_ptr<EventLog> log;
};

} // namespace

TEST_F(EnginePlayback, RunsToTheEndAndStopsThere) {
    open();
    engine.setRate(8.0);
    engine.Run();
    EXPECT_EQ(engine.CurrentState(), kRunning);
    ASSERT_TRUE(waitForState(kStopped));
    EXPECT_EQ(log->events, (Events{"state 0 2", "state 2 0"}));
    EXPECT_EQ(engine.CurrentPosition(), 29.0);
    EXPECT_EQ(barcodeOf(engine.currentImage()), 29);
    EXPECT_EQ(engine.console()->display()->text(), "Frame 29 / 30");

    // Running again from the end starts over at the selection start.
    log->events.clear();
    engine.setAutoRewind(true);
    engine.Run();
    ASSERT_TRUE(waitForState(kStopped));
    EXPECT_EQ(log->events, (Events{"pos 29 0", "state 0 2", "state 2 0", "pos 29 0"}));
    EXPECT_EQ(engine.CurrentPosition(), 0.0);
}

TEST_F(EnginePlayback, PauseResumeAndStopSequences) {
    open();
    engine.setRate(0.25); // slow enough to pause in the middle
    engine.Run();
    engine.Pause();
    const double paused = engine.CurrentPosition();
    EXPECT_EQ(engine.CurrentState(), kPaused);
    QTest::qWait(100);
    EXPECT_EQ(engine.CurrentPosition(), paused); // a paused engine does not move
    engine.Run();
    engine.Stop();
    EXPECT_EQ(engine.CurrentState(), kStopped);
    engine.Stop();  // already stopped: no event
    engine.Pause(); // from stopped: paused at the same frame
    EXPECT_EQ(log->events,
              (Events{"state 0 2", "state 2 1", "state 1 2", "state 2 0", "state 0 1"}));
    EXPECT_TRUE(prompter.prompts.empty());
}

TEST_F(EnginePlayback, ButtonsOfThePanelDriveTheEngine) {
    open();
    ControlConsole* console = engine.console();
    EXPECT_TRUE(console->playButton()->isEnabled());
    EXPECT_FALSE(console->pauseButton()->isEnabled());
    engine.setRate(0.25);
    QTest::mouseClick(console->playButton(), Qt::LeftButton);
    EXPECT_EQ(engine.CurrentState(), kRunning);
    EXPECT_FALSE(console->playButton()->isEnabled());
    QTest::mouseClick(console->pauseButton(), Qt::LeftButton);
    EXPECT_EQ(engine.CurrentState(), kPaused);
    QTest::mouseClick(console->stopButton(), Qt::LeftButton);
    EXPECT_EQ(engine.CurrentState(), kStopped);
    console->tracker()->setValue(21); // as a drag of the slider does
    EXPECT_EQ(engine.CurrentPosition(), 21.0);
    engine.setEnableTracker(false);
    EXPECT_FALSE(console->tracker()->isEnabled());
    console->tracker()->setValue(3);
    EXPECT_EQ(engine.CurrentPosition(), 21.0);
    EXPECT_EQ(log->events, (Events{"state 0 2", "state 2 1", "state 1 0", "pos 0 21"}));
}

TEST_F(EnginePlayback, PlaysWithinTheSelectionAndStopsAtItsEnd) {
    open();
    engine.setSelectionStart(5);
    engine.setSelectionEnd(12);
    engine.setRate(4.0);
    recordFrames();
    engine.Run();
    ASSERT_TRUE(waitForState(kStopped));
    EXPECT_EQ(log->events, (Events{"pos 0 5", "state 0 2", "state 2 0"}));
    EXPECT_EQ(engine.CurrentPosition(), 12.0);
    for (int f : shown) {
        EXPECT_GE(f, 5);
        EXPECT_LE(f, 12);
    }
}

TEST_F(EnginePlayback, PlayCountTwoPlaysTwice) {
    open();
    engine.setPlayCount(2);
    engine.setSelectionStart(10);
    engine.setSelectionEnd(19);
    engine.setCurrentPosition(10);
    log->events.clear();
    engine.setRate(6.0);
    engine.Run();
    ASSERT_TRUE(waitForState(kStopped));
    // One jump back from the end into the selection (to its start, or just past it when the
    // start's period went by while the end was shown), then the stop.
    ASSERT_EQ(log->events.size(), 3u) << testing::PrintToString(log->events);
    EXPECT_EQ(log->events[0], "state 0 2");
    EXPECT_EQ(log->events[1].rfind("pos 19 1", 0), 0u) << log->events[1];
    EXPECT_EQ(log->events[2], "state 2 0");
    EXPECT_EQ(engine.CurrentPosition(), 19.0);
}

TEST_F(EnginePlayback, PlayCountZeroRepeatsUntilStopped) {
    open();
    engine.setPlayCount(0);
    engine.setSelectionEnd(9);
    engine.setRate(10.0);
    int wraps = 0;
    QObject::connect(&engine, &MovieEngine::positionChange, [&](double o, double n) {
        // Reported as the jump from the selection's end; at this rate the first frame of the
        // new pass may already be past.
        EXPECT_EQ(o, 9.0);
        EXPECT_GE(n, 0.0);
        EXPECT_LE(n, 9.0);
        if (++wraps == 3) engine.Stop();
    });
    engine.Run();
    ASSERT_TRUE(waitForState(kStopped));
    EXPECT_EQ(wraps, 3);
    EXPECT_EQ(log->matching("state"), (Events{"state 0 2", "state 2 0"}));
    EXPECT_EQ(log->matching("pos 9 ").size(), 3u) << testing::PrintToString(log->events);
}

TEST_F(EnginePlayback, RateTwoAndRefusedRates) {
    open();
    EXPECT_FALSE(engine.setRate(0.0));
    EXPECT_FALSE(engine.setRate(-2.0));
    EXPECT_FALSE(engine.setRate(std::numeric_limits<double>::quiet_NaN()));
    EXPECT_EQ(engine.Rate(), 1.0);
    ASSERT_TRUE(engine.setRate(2.0));
    EXPECT_EQ(engine.Rate(), 2.0);
    recordFrames();
    engine.Run();
    ASSERT_TRUE(waitForState(kStopped));
    EXPECT_EQ(log->events, (Events{"state 0 2", "state 2 0"}));
    EXPECT_EQ(engine.CurrentPosition(), 29.0);
    for (size_t i = 1; i < shown.size(); ++i)
        EXPECT_LE(shown[i - 1], shown[i]);
    // Changing the rate while running keeps the picture where it is.
    engine.setCurrentPosition(0);
    engine.setRate(0.1);
    engine.Run();
    const double at = engine.CurrentPosition();
    ASSERT_TRUE(engine.setRate(0.2));
    EXPECT_EQ(engine.CurrentPosition(), at);
    engine.Stop();
}

TEST_F(EnginePlayback, FallingBehindDropsFramesButEndsOnTheLastFrame) {
    movie.decodeDelay = std::chrono::milliseconds(20);
    movie.movieRecipe.frames = 60;
    open();
    engine.setRate(4.0); // a frame every 10 ms, each decode takes 20 ms
    const int before = movie.decodes->load();
    engine.Run();
    ASSERT_TRUE(waitForState(kStopped));
    const int decoded = movie.decodes->load() - before;
    EXPECT_LT(decoded, 60);
    EXPECT_EQ(engine.CurrentPosition(), 59.0);
    EXPECT_EQ(barcodeOf(engine.currentImage()), 59);
    EXPECT_EQ(log->events, (Events{"state 0 2", "state 2 0"}));
}

TEST_F(EnginePlayback, ADecodeFailureStopsPlaybackWithAnError) {
    movie.failing = {6};
    open();
    engine.setRate(0.5);
    engine.setCurrentPosition(6);
    EXPECT_EQ(log->events, (Events{"error 5", "pos 0 6"}));
    engine.setCurrentPosition(5);
    log->events.clear();
    engine.Run();
    engine.setRate(2.0);
    ASSERT_TRUE(waitForState(kStopped));
    EXPECT_EQ(log->events, (Events{"state 0 2", "error 5", "state 2 0"}));
    EXPECT_EQ(engine.CurrentState(), kStopped);
}

TEST_F(EnginePlayback, TimeDisplayModeCountsSeconds) {
    open();
    ASSERT_TRUE(engine.setDisplayMode(kDisplayTime));
    EXPECT_FALSE(engine.setDisplayMode(2));
    EXPECT_DOUBLE_EQ(engine.Duration(), 30.0 / 25.0);
    engine.setCurrentPosition(0.5);
    EXPECT_EQ(engine.currentFrame(), 12);
    EXPECT_DOUBLE_EQ(engine.CurrentPosition(), 12.0 / 25.0);
    EXPECT_EQ(log->events.back(), "pos 0 0"); // seconds, cut by the log to whole numbers
    EXPECT_EQ(engine.console()->display()->text(), "0:00.48 / 0:01.20");
}
