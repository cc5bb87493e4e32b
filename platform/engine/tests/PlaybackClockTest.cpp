#include "platform/engine/PlaybackClock.h"

#include <cmath>

#include <gtest/gtest.h>

using namespace qxm::engine;
using namespace std::chrono;

namespace {
const PlaybackClock::Clock::time_point t0{seconds(1000)};
}

TEST(PlaybackClock, CountsWholePeriodsFromTheStartWithoutDrift) {
    PlaybackClock clock;
    EXPECT_FALSE(clock.running());
    clock.start(t0, 30000.0 / 1001.0); // 29.97 frames a second
    EXPECT_TRUE(clock.running());
    EXPECT_EQ(clock.periodsAt(t0), 0);
    EXPECT_EQ(clock.periodsAt(t0 - seconds(1)), 0);
    EXPECT_EQ(clock.periodsAt(t0 + milliseconds(33)), 0);
    EXPECT_EQ(clock.periodsAt(t0 + milliseconds(34)), 1);
    // An hour later the count is exact: no error piles up from frame to frame.
    EXPECT_EQ(clock.periodsAt(t0 + seconds(3600)), 107892);
    for (int64_t n : {1, 2, 29, 30, 1000, 107892}) {
        EXPECT_EQ(clock.periodsAt(clock.dueTime(n)), n) << n;
        EXPECT_EQ(clock.periodsAt(clock.dueTime(n) - microseconds(50)), n - 1) << n;
    }
}

TEST(PlaybackClock, RateScalesThePeriodsAndHaltStops) {
    PlaybackClock normal, twice, half;
    normal.start(t0, 25.0);
    twice.start(t0, 25.0 * 2.0);
    half.start(t0, 25.0 * 0.5);
    const auto later = t0 + seconds(4);
    EXPECT_EQ(normal.periodsAt(later), 100);
    EXPECT_EQ(twice.periodsAt(later), 200);
    EXPECT_EQ(half.periodsAt(later), 50);
    twice.halt();
    EXPECT_FALSE(twice.running());
    EXPECT_EQ(twice.periodsAt(later), 0);
    PlaybackClock refused;
    refused.start(t0, -3.0);
    EXPECT_FALSE(refused.running());
}

TEST(PlaybackClock, FollowsAnotherClockBeyondTheTolerance) {
    PlaybackClock clock;
    EXPECT_FALSE(clock.follow(t0, 1.0, 0.01)); // not running
    clock.start(t0, 25.0);
    // Within the tolerance nothing moves.
    EXPECT_FALSE(clock.follow(t0 + milliseconds(1000), 0.995, 0.01));
    EXPECT_EQ(clock.periodsAt(t0 + milliseconds(1000)), 25);
    // The other clock is behind (the sound started late): the periods wait for it.
    EXPECT_TRUE(clock.follow(t0 + milliseconds(1000), 0.5, 0.01));
    EXPECT_EQ(clock.periodsAt(t0 + milliseconds(1000)), 12);
    EXPECT_EQ(clock.periodsAt(t0 + milliseconds(1500)), 25);
    // Ahead: the periods jump to it; a bad reading changes nothing.
    EXPECT_TRUE(clock.follow(t0 + milliseconds(1500), 2.0, 0.01));
    EXPECT_EQ(clock.periodsAt(t0 + milliseconds(1500)), 50);
    EXPECT_FALSE(clock.follow(t0 + milliseconds(1500), std::nan(""), 0.01));
    EXPECT_EQ(clock.periodsAt(t0 + milliseconds(1500)), 50);
}

TEST(PlaybackStep, WithinOnePassShowsFramesFromTheStartFrame) {
    const auto s = playbackStepAt(7, 3, 0, 20, 1);
    EXPECT_EQ(s.frame, 10);
    EXPECT_EQ(s.passes, 0);
    EXPECT_FALSE(s.finished);
    // A late tick skips frames: the frame due now, not the next one.
    EXPECT_EQ(playbackStepAt(17, 3, 0, 20, 1).frame, 20);
}

TEST(PlaybackStep, ASinglePlayFinishesOnTheLastFrameOnePeriodAfterIt) {
    auto s = playbackStepAt(17, 3, 0, 20, 1);
    EXPECT_FALSE(s.finished);
    s = playbackStepAt(18, 3, 0, 20, 1);
    EXPECT_TRUE(s.finished);
    EXPECT_EQ(s.frame, 20);
    // Far behind: still finishes on the last frame, never beyond it.
    s = playbackStepAt(5000, 3, 0, 20, 1);
    EXPECT_TRUE(s.finished);
    EXPECT_EQ(s.frame, 20);
    EXPECT_EQ(s.passes, 1);
}

TEST(PlaybackStep, RepeatsRestartAtTheSelectionStartAndCountPasses) {
    // Selection 5..9 (5 frames), started at 8, two plays.
    auto s = playbackStepAt(2, 8, 5, 9, 2);
    EXPECT_EQ(s.frame, 5);
    EXPECT_EQ(s.passes, 1);
    EXPECT_FALSE(s.finished);
    s = playbackStepAt(6, 8, 5, 9, 2);
    EXPECT_EQ(s.frame, 9);
    EXPECT_FALSE(s.finished);
    s = playbackStepAt(7, 8, 5, 9, 2);
    EXPECT_TRUE(s.finished);
    EXPECT_EQ(s.frame, 9);
    EXPECT_EQ(s.passes, 2);
    // Without end: passes keep counting and the frame keeps cycling.
    s = playbackStepAt(2 + 5 * 40 + 3, 8, 5, 9, 0);
    EXPECT_FALSE(s.finished);
    EXPECT_EQ(s.passes, 41);
    EXPECT_EQ(s.frame, 8);
}

TEST(PlaybackStep, StartOutsideOrReversedSelectionIsHandled) {
    EXPECT_EQ(playbackStepAt(0, 50, 5, 9, 1).frame, 5);
    EXPECT_EQ(playbackStepAt(0, 1, 5, 9, 1).frame, 5);
    // An end before the start plays the start frame alone.
    auto s = playbackStepAt(0, 7, 7, 3, 1);
    EXPECT_EQ(s.frame, 7);
    s = playbackStepAt(1, 7, 7, 3, 1);
    EXPECT_TRUE(s.finished);
    EXPECT_EQ(s.frame, 7);
}
