#include "editor/anchors/AnchorMemory.h"

#include <new>
#include <utility>

namespace qxm::anchors {
namespace {
AllocFaultHook& hook() {
    static AllocFaultHook h;
    return h;
}
} // namespace

AllocFaultHook setAllocFaultHook(AllocFaultHook h) {
    return std::exchange(hook(), std::move(h));
}

void allocationPoint(std::size_t bytes) {
    if (hook() && hook()(bytes)) throw std::bad_alloc();
}

ScopedAllocFailure::ScopedAllocFailure(int allowed) : allowed_(allowed) {
    previous_ = setAllocFaultHook([this](std::size_t) { return ++attempts_ > allowed_; });
}

ScopedAllocFailure::~ScopedAllocFailure() {
    setAllocFaultHook(std::move(previous_));
}

} // namespace qxm::anchors
