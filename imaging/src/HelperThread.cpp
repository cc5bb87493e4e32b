#include "HelperThread.h"

#include <system_error>
#include <unistd.h>

namespace qxm::imlib {

HelperThread::~HelperThread() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable() && pid_ == int(getpid()))
        thread_.join();
    else if (thread_.joinable())
        thread_.detach();
}

HelperThread& HelperThread::shared() {
    static HelperThread helper;
    return helper;
}

bool HelperThread::start(std::function<void()> job) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (taken_ || stop_) return false;
    if (!thread_.joinable() || pid_ != int(getpid())) {
        if (thread_.joinable()) return false; // forked: the thread stayed with the parent
        try {
            thread_ = std::thread([this] { loop(); });
        } catch (const std::system_error&) {
            return false;
        }
        pid_ = int(getpid());
    }
    queue_.push_back(std::move(job));
    error_ = nullptr;
    taken_ = pending_ = true;
    ++jobs_;
    lock.unlock();
    wake_.notify_one();
    return true;
}

bool HelperThread::then(std::function<void()> job) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!taken_) return false;
    queue_.push_back(std::move(job));
    pending_ = true;
    ++jobs_;
    lock.unlock();
    wake_.notify_one();
    return true;
}

void HelperThread::finish() {
    std::unique_lock<std::mutex> lock(mutex_);
    done_.wait(lock, [this] { return !pending_; });
    taken_ = false;
    if (error_) {
        std::exception_ptr error = error_;
        error_ = nullptr;
        std::rethrow_exception(error);
    }
}

HelperJob::~HelperJob() {
    if (helper_ == nullptr) return;
    try {
        helper_->finish();
    } catch (...) {
    }
}

void HelperJob::finish() {
    HelperThread* const helper = helper_;
    helper_ = nullptr;
    if (helper != nullptr) helper->finish();
}

uint64_t HelperThread::jobs() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return jobs_;
}

void HelperThread::loop() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stop_ || !queue_.empty(); });
        if (!queue_.empty()) {
            std::function<void()> job = std::move(queue_.front());
            queue_.pop_front();
            lock.unlock();
            std::exception_ptr error;
            try {
                if (beforeJob_) beforeJob_();
                job();
            } catch (...) {
                error = std::current_exception();
            }
            job = nullptr;
            lock.lock();
            if (!error_) error_ = error;
            if (queue_.empty()) {
                pending_ = false;
                done_.notify_all();
            }
        } else if (stop_) {
            return;
        }
    }
}

} // namespace qxm::imlib
