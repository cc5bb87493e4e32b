// Replaces the global operator new / delete of the test program (the array forms forward to
// these). Kept in a translation unit of its own so that the compiler never sees a
// replaced operator inlined next to its partner.
#include "AllocationWatch.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<std::size_t> gLargest{0};
}

void qxm::testsupport::resetLargestAllocation() {
    gLargest.store(0);
}
std::size_t qxm::testsupport::largestAllocation() {
    return gLargest.load();
}

void* operator new(std::size_t n) {
    std::size_t seen = gLargest.load(std::memory_order_relaxed);
    while (n > seen && !gLargest.compare_exchange_weak(seen, n, std::memory_order_relaxed)) {
    }
    if (void* p = std::malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
