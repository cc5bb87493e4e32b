#include "tracking/ReadAhead.h"

#include <algorithm>
#include <utility>

namespace qxm::track {

ReadAhead::ReadAhead(DibSource& source, int32_t first, int32_t last, int32_t step)
    : source_(source), first_(first), last_(last), wanted_(first <= last ? first : -1), step_(step),
      thread_([this] { run(); }) {}

ReadAhead::~ReadAhead() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

bool ReadAhead::dib(int32_t n, std::vector<uint8_t>& out) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (ready_ == n || wanted_ == n) ++hits_; // decoded or being decoded
    if (ready_ != n) {
        // A frame held is not the one asked for: it goes. A guess that missed: the thread
        // finishes (and drops) it, then decodes n.
        ready_ = -1;
        wanted_ = n;
        changed_.notify_all();
    }
    changed_.wait(lock, [&] { return ready_ == n; });
    ready_ = -1;
    const bool ok = readyOk_;
    std::exception_ptr error = std::exchange(readyError_, nullptr);
    out.swap(readyDib_);

    // The walk goes on with a step of the same length in the same direction; the thread may
    // already be on that frame.
    if (previous_ >= 0) step_ = n - previous_;
    previous_ = n;
    const int32_t next = guessAfter(n);
    if (next >= 0)
        wanted_ = next;
    else if (wanted_ == n)
        wanted_ = -1;
    changed_.notify_all();
    lock.unlock();
    if (error) std::rethrow_exception(error);
    return ok;
}

int32_t ReadAhead::guessAfter(int32_t n) const {
    if (step_ == 0 || n < first_ || n > last_) return -1;
    // A walk whose step passes the end of its range still ends on it.
    const int64_t next = std::clamp(int64_t(n) + step_, int64_t(first_), int64_t(last_));
    return next == n ? -1 : int32_t(next);
}

void ReadAhead::run() {
    std::vector<uint8_t> work;
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [&] { return stop_ || (wanted_ >= 0 && ready_ != wanted_); });
        if (stop_) return;
        const int32_t n = wanted_;
        lock.unlock();
        bool ok = false;
        std::exception_ptr error;
        try {
            ok = source_.dib(n, work);
        } catch (...) {
            error = std::current_exception();
        }
        lock.lock();
        // The frame before may still wait to be taken.
        changed_.wait(lock, [&] { return stop_ || wanted_ != n || ready_ < 0; });
        if (stop_) return;
        if (wanted_ != n) continue; // nobody wants it any more
        work.swap(readyDib_);
        readyOk_ = ok;
        readyError_ = error;
        ready_ = n;
        // Go on with the frame after it at once, one more step of the walk.
        const int32_t next = guessAfter(n);
        wanted_ = next >= 0 ? next : n;
        changed_.notify_all();
    }
}

} // namespace qxm::track
