#pragma once
// Decoding beside tracking: while the caller matches one step of a walk, a second thread
// decodes the frames the walk will most likely ask for next (steps of the same length in the
// same direction, up to two ahead: the one handed over next and the one after it). A walk is
// guessed to start at its first frame with the step it is given, and to end on the last frame
// of its range even when the step would pass it. Asked for the frame guessed, it hands it over;
// asked for another, it decodes that one instead. Every frame comes from the same supplier with
// the same call, so what the caller gets is exactly what it would have got without the second
// thread; only the order in which the supplier sees the calls changes.
#include "tracking/MovieFrames.h"

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace qxm::track {

class ReadAhead final : public DibSource {
public:
    // Frames first..last are the only ones guessed at; the thread starts on first at once, and
    // step is the walk's step until two frames asked for tell it (0: no guess until then).
    // While the object lives, only its thread calls source. Throws std::system_error when the
    // thread cannot be started.
    ReadAhead(DibSource& source, int32_t first, int32_t last, int32_t step = 0);
    ~ReadAhead() override;
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // The frame as source.dib gives it (an exception it threw is thrown here).
    bool dib(int32_t n, std::vector<uint8_t>& out) override;

    // Frames handed over that had been decoded ahead (for tests and benchmarks).
    int64_t hits() const { return hits_; }

private:
    void run();
    // The frame the walk is guessed to ask for after n, or -1.
    int32_t guessAfter(int32_t n) const;

    DibSource& source_;
    const int32_t first_, last_;
    std::mutex mutex_;
    std::condition_variable changed_;
    int32_t wanted_;       // the frame the thread is to decode next (-1: none)
    int32_t ready_ = -1;   // the frame whose result is in readyDib_ (-1: none)
    bool readyOk_ = false; // what source.dib returned for it
    std::exception_ptr readyError_;
    std::vector<uint8_t> readyDib_;
    bool stop_ = false;
    int32_t previous_ = -1; // the frame asked for before
    int32_t step_;          // from the frame asked for before to the last one
    int64_t hits_ = 0;
    std::thread thread_; // last: started once everything above is set up
};

} // namespace qxm::track
