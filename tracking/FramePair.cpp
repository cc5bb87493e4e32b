#include "tracking/FramePair.h"

#include "tracking/Codes.h"
#include "tracking/MovieFrames.h"

namespace qxm::track {

FramePair::FramePair(GrayReader& reader, ImBufHandle a, ImBufHandle b)
    : reader_(reader), a_(a), b_(b),
      gray_(std::size_t(reader.width()) * std::size_t(reader.height())) {}

int32_t FramePair::readInto(int32_t frame, ImBufHandle buffer) {
    if (int32_t c = reader_.read(frame, gray_.data())) return c;
    if (ImBufPut(buffer, -1, -1, -1, -1, gray_.data()) != IM_OK) return kFrameStore;
    return 0;
}

int32_t FramePair::load(int32_t a, int32_t b, bool forgetHeld) {
    if (forgetHeld) forget();
    if (heldA_ != a) {
        if (heldB_ == a) {
            if (ImBufCopy(b_, a_, -1, -1, -1, -1) != IM_OK) return kFrameStore;
        } else if (int32_t c = readInto(a, a_)) {
            return c;
        }
        heldA_ = a;
    }
    if (heldB_ == b) return 0;
    if (heldA_ == b) {
        if (ImBufCopy(a_, b_, -1, -1, -1, -1) != IM_OK) return kFrameStore;
    } else if (int32_t c = readInto(b, b_)) {
        return c;
    }
    heldB_ = b;
    return 0;
}

} // namespace qxm::track
