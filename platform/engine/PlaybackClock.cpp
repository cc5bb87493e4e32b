#include "platform/engine/PlaybackClock.h"

#include <algorithm>
#include <cmath>

namespace qxm::engine {

void PlaybackClock::start(Clock::time_point now, double framesPerSecond) {
    t0_ = now;
    fps_ = framesPerSecond > 0.0 ? framesPerSecond : 0.0;
}

int64_t PlaybackClock::periodsAt(Clock::time_point now) const {
    if (fps_ <= 0.0 || now <= t0_) return 0;
    const double seconds = std::chrono::duration<double>(now - t0_).count();
    return static_cast<int64_t>(std::floor(seconds * fps_ + 1e-9));
}

PlaybackClock::Clock::time_point PlaybackClock::dueTime(int64_t n) const {
    if (fps_ <= 0.0) return t0_;
    const auto offset = std::chrono::duration<double>(double(n) / fps_);
    return t0_ + std::chrono::ceil<Clock::duration>(offset);
}

bool PlaybackClock::follow(Clock::time_point now, double elapsedSeconds, double toleranceSeconds) {
    if (fps_ <= 0.0 || !std::isfinite(elapsedSeconds)) return false;
    const double own = std::chrono::duration<double>(now - t0_).count();
    if (std::abs(own - elapsedSeconds) <= toleranceSeconds) return false;
    t0_ = now - std::chrono::duration_cast<Clock::duration>(
                    std::chrono::duration<double>(std::max(0.0, elapsedSeconds)));
    return true;
}

PlaybackStep playbackStepAt(int64_t periods, int32_t from, int32_t first, int32_t last,
                            int64_t playsLeft) {
    PlaybackStep step;
    if (last < first) last = first;
    if (from < first || from > last) from = first;
    const int64_t p = int64_t(from) + (periods < 0 ? 0 : periods);
    if (p <= last) {
        step.frame = int32_t(p);
        return step;
    }
    const int64_t loopLength = int64_t(last) - first + 1;
    const int64_t over = p - (int64_t(last) + 1);
    step.passes = 1 + over / loopLength;
    if (playsLeft > 0 && step.passes >= playsLeft) {
        step.passes = playsLeft;
        step.frame = last;
        step.finished = true;
        return step;
    }
    step.frame = int32_t(first + over % loopLength);
    return step;
}

} // namespace qxm::engine
