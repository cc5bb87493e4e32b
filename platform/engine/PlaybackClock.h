#pragma once
// Frame timing of playback. The clock maps elapsed steady time to a count of frame periods
// since playback (re)started, so the schedule never accumulates rounding errors: every frame's
// due time is computed from the start point, never from the previous frame.
#include <chrono>
#include <cstdint>

namespace qxm::engine {

class PlaybackClock {
public:
    using Clock = std::chrono::steady_clock;

    // Starts counting at `now`; `framesPerSecond` is the movie's rate times the playback rate.
    void start(Clock::time_point now, double framesPerSecond);
    bool running() const { return fps_ > 0.0; }
    void halt() { fps_ = 0.0; }

    // Whole frame periods elapsed at `now` (0 right after start; never negative).
    int64_t periodsAt(Clock::time_point now) const;
    // When period `n` begins.
    Clock::time_point dueTime(int64_t n) const;
    double framesPerSecond() const { return fps_; }
    // Follows another clock (the sound heard so far): when the seconds elapsed since start by
    // this clock and `elapsedSeconds` differ by more than `toleranceSeconds`, the start moves so
    // that they agree. Returns true when it moved.
    bool follow(Clock::time_point now, double elapsedSeconds, double toleranceSeconds);

private:
    Clock::time_point t0_{};
    double fps_ = 0.0;
};

// Where playback stands after `periods` frame periods, started at `from` inside the selection
// [first, last] with `playsLeft` passes left (the current one included; 0 = without end).
// The pass in progress runs from `from` to `last`, each further pass from `first` to `last`.
struct PlaybackStep {
    int32_t frame = 0;  // frame to show
    int64_t passes = 0; // passes completed (times playback went past `last`)
    bool finished = false;
};
PlaybackStep playbackStepAt(int64_t periods, int32_t from, int32_t first, int32_t last,
                            int64_t playsLeft);

} // namespace qxm::engine
