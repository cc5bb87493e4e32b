#pragma once
// The two image buffers of the tracker and the frames they hold: buffer A holds the frame a
// model is cut from, buffer B the frame searched. Loading a pair reuses what the buffers hold,
// so a walk (each pair starting where the previous one ended) decodes every frame once.
#include "imaging/include/qxmimlib.h"

#include <cstdint>
#include <vector>

namespace qxm::track {

class GrayReader;

class FramePair {
public:
    // The buffers must have the reader's frame size; they stay owned by the caller.
    FramePair(GrayReader& reader, ImBufHandle a, ImBufHandle b);

    // Makes A hold frame a and B hold frame b. forget first drops what both hold. Returns 0,
    // a code of the gray reader (-601, -602, -603) or -611 when a buffer cannot be written.
    int32_t load(int32_t a, int32_t b, bool forget = false);
    void forget() { heldA_ = heldB_ = -1; }

    ImBufHandle bufferA() const { return a_; }
    ImBufHandle bufferB() const { return b_; }
    int32_t heldA() const { return heldA_; }
    int32_t heldB() const { return heldB_; }

private:
    int32_t readInto(int32_t frame, ImBufHandle buffer);
    GrayReader& reader_;
    ImBufHandle a_, b_;
    int32_t heldA_ = -1, heldB_ = -1;
    std::vector<uint8_t> gray_;
};

} // namespace qxm::track
