#pragma once
// Allocation checkpoints of the anchor code. Every operation that grows anchor memory passes
// through allocationPoint() first, so that tests can make any allocation fail and check that
// "No Memory Available." is shown and nothing changes. Outside tests the hook is empty and
// only real exhaustion (std::bad_alloc) fails an operation.
#include <cstddef>
#include <functional>

namespace qxm::anchors {

// Returns true when the allocation of the given number of bytes is to fail.
using AllocFaultHook = std::function<bool(std::size_t bytes)>;

// Installs a hook for the process (empty to remove it); returns the previous one.
AllocFaultHook setAllocFaultHook(AllocFaultHook hook);

// Throws std::bad_alloc when the installed hook refuses the allocation.
void allocationPoint(std::size_t bytes);

// Lets the first `allowed` allocations succeed and fails every later one, for its lifetime.
class ScopedAllocFailure {
public:
    explicit ScopedAllocFailure(int allowed = 0);
    ~ScopedAllocFailure();
    ScopedAllocFailure(const ScopedAllocFailure&) = delete;
    ScopedAllocFailure& operator=(const ScopedAllocFailure&) = delete;
    int attempts() const { return attempts_; } // allocations asked for so far

private:
    int allowed_;
    int attempts_ = 0;
    AllocFaultHook previous_;
};

} // namespace qxm::anchors
