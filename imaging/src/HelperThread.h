// A second thread for the library's searches, so that a large search uses two cores: the
// search hands it a share of the work and does the rest itself meanwhile.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

namespace qxm::imlib {

class HelperThread {
public:
    // `beforeJob`, if given, runs on the helper's thread before every job (tests slow the
    // helper down with it).
    explicit HelperThread(std::function<void()> beforeJob = {})
        : beforeJob_(std::move(beforeJob)) {}
    HelperThread(const HelperThread&) = delete;
    HelperThread& operator=(const HelperThread&) = delete;
    ~HelperThread();

    // The library's helper; its thread starts on first use.
    static HelperThread& shared();

    // Runs `job` on the helper thread and returns true; false (the job is not run) when the
    // helper is busy with another caller's job or its thread cannot be started. Every true
    // must be followed by finish().
    bool start(std::function<void()> job);
    // Queues `job` to run after the jobs given so far by the caller that holds the helper
    // (whose start() returned true and who has not called finish() since); false when there
    // is no such caller.
    bool then(std::function<void()> job);
    // Waits until the jobs given have ended; rethrows what the first of them to throw threw.
    void finish();
    // Jobs run so far.
    uint64_t jobs() const;

private:
    void loop();

    mutable std::mutex mutex_;
    std::condition_variable wake_, done_;
    std::deque<std::function<void()>> queue_;
    std::function<void()> beforeJob_;
    std::exception_ptr error_;
    bool taken_ = false;   // a caller's jobs are running or not yet collected by finish()
    bool pending_ = false; // a job has not ended yet
    bool stop_ = false;
    uint64_t jobs_ = 0;
    int pid_ = 0; // the process that started the thread (a forked child has no such thread)
    std::thread thread_;
};

// A job given to the helper, if it took it, ended at the latest when the scope that gave it
// is left: the job works on that scope's data. finish() rethrows what the job threw; a scope
// left by an exception drops it.
class HelperJob {
public:
    HelperJob(HelperThread* helper, std::function<void()> job)
        : helper_(helper != nullptr && helper->start(std::move(job)) ? helper : nullptr) {}
    HelperJob(const HelperJob&) = delete;
    HelperJob& operator=(const HelperJob&) = delete;
    ~HelperJob();

    // Whether the helper took the job.
    bool taken() const { return taken_; }
    // Gives the helper, if it took the job, another to run after it; false if it did not.
    bool then(std::function<void()> job) {
        return helper_ != nullptr && helper_->then(std::move(job));
    }
    // Waits until the job has ended, if the helper took it.
    void finish();

private:
    HelperThread* helper_;
    const bool taken_ = helper_ != nullptr;
};

} // namespace qxm::imlib
