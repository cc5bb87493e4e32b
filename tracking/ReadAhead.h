#pragma once
// Decoding beside tracking: while the caller matches one step of a walk, other threads decode
// the frames the walk will most likely ask for next (steps of the same length in the same
// direction, two ahead: the one handed over next and the one after it). A walk is guessed to
// start at its first frame with the step it is given, and to end on the last frame of its range
// even when the step would pass it. Asked for a frame guessed, it hands it over; asked for
// another, it decodes that one first. Each thread has a source of its own, all giving the same
// frames bit for bit, so what the caller gets is exactly what it would have got without the
// threads; only which source is asked for a frame, and when, changes.
#include "tracking/MovieFrames.h"

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <list>
#include <mutex>
#include <thread>
#include <vector>

namespace qxm::track {

class ReadAhead final : public DibSource {
public:
    // One thread for each source (at least one). Frames first..last are the only ones guessed
    // at; the threads start on first at once, and step is the walk's step until two frames
    // asked for tell it (0: no guess until then). While the object lives, only its threads
    // call the sources. Throws std::system_error when a thread cannot be started.
    ReadAhead(const std::vector<DibSource*>& sources, int32_t first, int32_t last,
              int32_t step = 0);
    ~ReadAhead() override;
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // The frame as the sources give it (an exception one threw is thrown here).
    bool dib(int32_t n, std::vector<uint8_t>& out) override;

    // Frames handed over that had been decoded, or were being decoded, when asked for (for
    // tests and benchmarks).
    int64_t hits() const { return hits_; }

private:
    // A frame asked for or guessed, waiting for a thread, being decoded or decoded.
    struct Job {
        explicit Job(int32_t n) : frame(n) {}
        int32_t frame;
        bool wanted = true; // asked for or still guessed; else dropped once decoded
        bool started = false;
        bool done = false;
        bool ok = false; // what the source returned
        std::exception_ptr error;
        std::vector<uint8_t> dib;
    };

    void run(DibSource& source);
    void stopThreads();
    // The frame the walk is guessed to ask for after n, or -1.
    int32_t guessAfter(int32_t n) const;
    // Keeps the jobs of the frames asked for or guessed (keep, up to two; -1: none), drops the
    // rest (those being decoded once they are done) and adds the frames not yet there.
    void want(const int32_t* keep, int count);
    // The job of frame n, or jobs_.end().
    std::list<Job>::iterator job(int32_t n);

    const int32_t first_, last_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::list<Job> jobs_; // in the order they are wanted; threads take the first not started
    bool stop_ = false;
    int32_t previous_ = -1; // the frame asked for before
    int32_t step_;          // from the frame asked for before to the last one
    int64_t hits_ = 0;
    std::vector<std::thread> threads_; // last: started once everything above is set up
};

} // namespace qxm::track
