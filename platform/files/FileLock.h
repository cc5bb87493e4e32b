#pragma once
// An exclusive lock between threads and processes, held on a lock file for the lifetime of
// the object (flock on a descriptor of its own, so two objects in one process exclude each
// other too). Closing the descriptor drops the lock, also when the process dies.
#include <string>

namespace qxm {

class FileLock {
public:
    // Creates the lock file when needed and waits for the lock.
    explicit FileLock(const std::string& path);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    bool held() const { return fd_ >= 0; }
    // The errno of the failure when the lock is not held.
    int error() const { return error_; }

private:
    int fd_ = -1;
    int error_ = 0;
};

} // namespace qxm
