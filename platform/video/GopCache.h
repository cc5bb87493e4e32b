#pragma once
// The decoded frames of the run of consecutive frames last decoded for stepping backward, at
// most one group of pictures, so that stepping backward through a long group costs about what
// stepping forward does. The memory the frames take is bounded; when a new frame would pass
// the bound, the oldest frames of the run (those nearest its key frame) go first. Frames let
// go keep their memory for the next ones (counted against the bound too), so that refilling
// does not fault fresh memory in.
#include "platform/video/FrameSource.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

namespace qxm::video {

class GopCache {
public:
    explicit GopCache(std::size_t limitBytes) : limit_(limitBytes) {}

    // The bound in bytes; a lower bound drops the oldest frames at once.
    void setLimit(std::size_t limitBytes);
    std::size_t limit() const { return limit_; }
    // Bytes the held frames take (pixels and palettes); with the memory kept for reuse never
    // more than the bound.
    std::size_t bytes() const { return bytes_; }
    std::size_t reserved() const { return bytes_ + spareBytes_; }
    // How many frames of frameBytes each fit under the bound.
    std::size_t fitting(std::size_t frameBytes) const;

    // The frame n when it is held, else null. The pointer stays valid until the next change.
    const Frame* find(int32_t n) const;
    // Frame numbers of the run held: first() to last(); both -1 when nothing is held.
    int32_t first() const { return frames_.empty() ? -1 : first_; }
    int32_t last() const { return frames_.empty() ? -1 : first_ + int32_t(frames_.size()) - 1; }

    // Stores frame n as the newest of the run. It continues the run when `continues` is set
    // and n follows the last frame held; else the run starts again at n. A frame larger than
    // the whole bound is not held (and the run is then empty).
    void add(int32_t n, const Frame& frame, bool continues);
    void clear();

    static std::size_t sizeOf(const Frame& frame) {
        return frame.pixels.size() + frame.palette.size() * sizeof(uint32_t);
    }

private:
    void trim();
    void release(Frame&& frame);
    std::size_t limit_;
    std::size_t bytes_ = 0, spareBytes_ = 0;
    int32_t first_ = -1;
    std::deque<Frame> frames_;
    std::vector<Frame> spares_;
};

} // namespace qxm::video
