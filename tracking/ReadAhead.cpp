#include "tracking/ReadAhead.h"

#include <algorithm>
#include <utility>

namespace qxm::track {

ReadAhead::ReadAhead(const std::vector<DibSource*>& sources, int32_t first, int32_t last,
                     int32_t step)
    : first_(first), last_(last), step_(step) {
    if (first <= last) {
        jobs_.emplace_back(first);
        const int32_t next = guessAfter(first);
        if (next >= 0) jobs_.emplace_back(next);
    }
    try {
        for (DibSource* source : sources)
            threads_.emplace_back([this, source] { run(*source); });
    } catch (...) {
        stopThreads();
        throw;
    }
}

ReadAhead::~ReadAhead() {
    stopThreads();
}

void ReadAhead::stopThreads() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    for (std::thread& t : threads_)
        t.join();
    threads_.clear();
}

int32_t ReadAhead::guessAfter(int32_t n) const {
    if (step_ == 0 || n < first_ || n > last_) return -1;
    // A walk whose step passes the end of its range still ends on it.
    const int64_t next = std::clamp(int64_t(n) + step_, int64_t(first_), int64_t(last_));
    return next == n ? -1 : int32_t(next);
}

void ReadAhead::want(const int32_t* keep, int count) {
    auto kept = [&](int32_t frame) { return std::find(keep, keep + count, frame) != keep + count; };
    for (auto it = jobs_.begin(); it != jobs_.end();) {
        it->wanted = kept(it->frame);
        // A job being decoded stays until its thread is done with it.
        if (!it->wanted && (!it->started || it->done))
            it = jobs_.erase(it);
        else
            ++it;
    }
    for (int i = 0; i < count; ++i)
        if (keep[i] >= 0 && job(keep[i]) == jobs_.end()) jobs_.emplace_back(keep[i]);
}

std::list<ReadAhead::Job>::iterator ReadAhead::job(int32_t n) {
    return std::find_if(jobs_.begin(), jobs_.end(), [&](const Job& j) { return j.frame == n; });
}

bool ReadAhead::dib(int32_t n, std::vector<uint8_t>& out) {
    std::unique_lock<std::mutex> lock(mutex_);
    auto asked = job(n);
    if (asked != jobs_.end()) {
        ++hits_; // guessed: decoded, being decoded or next
        asked->wanted = true;
    } else {
        // The guesses missed: they go (those being decoded are dropped when done).
        want(&n, 1);
        asked = job(n);
    }
    if (!asked->started) {
        jobs_.splice(jobs_.begin(), jobs_, asked); // the first a thread takes
        changed_.notify_all();
    }
    changed_.wait(lock, [&] { return asked->done; });
    const bool ok = asked->ok;
    std::exception_ptr error = std::move(asked->error);
    out.swap(asked->dib);
    jobs_.erase(asked);

    // The walk goes on with steps of the same length in the same direction; threads may
    // already be on those frames.
    if (previous_ >= 0) step_ = n - previous_;
    previous_ = n;
    int32_t next[2] = {guessAfter(n), -1};
    if (next[0] >= 0) next[1] = guessAfter(next[0]);
    want(next, 2);
    changed_.notify_all();
    lock.unlock();
    if (error) std::rethrow_exception(error);
    return ok;
}

void ReadAhead::run(DibSource& source) {
    std::vector<uint8_t> work;
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        std::list<Job>::iterator job;
        changed_.wait(lock, [&] {
            if (stop_) return true;
            job = std::find_if(jobs_.begin(), jobs_.end(),
                               [](const Job& j) { return j.wanted && !j.started; });
            return job != jobs_.end();
        });
        if (stop_) return;
        job->started = true;
        const int32_t n = job->frame;
        lock.unlock();
        bool ok = false;
        std::exception_ptr error;
        try {
            ok = source.dib(n, work);
        } catch (...) {
            error = std::current_exception();
        }
        lock.lock();
        job->done = true;
        if (!job->wanted) {
            jobs_.erase(job); // nobody wants it any more
            continue;
        }
        job->ok = ok;
        job->error = error;
        job->dib.swap(work);
        changed_.notify_all();
    }
}

} // namespace qxm::track
