// Image pyramids of a search: level 0 is the caller's buffer, each further level the 2 x 2
// truncated means of the previous level's working region.
#pragma once

#include "ImBuf.h"

#include <memory>
#include <vector>

namespace qxm::imlib {

// Number of levels above level 0 that a model of mw x mh and a region of rw x rh allow.
int pyramidDepth(int32_t mw, int32_t mh, int32_t rw, int32_t rh);

class Pyramid {
public:
    // Builds `levels` levels above `base` over the region; writes the region into base's
    // working region. Returns IM_OK or IM_ERR_NOMEM (nothing is kept then).
    int32_t build(Buffer& base, Region region, int levels);
    const Buffer* level(int k) const { return k == 0 ? base_ : owned_[std::size_t(k) - 1].get(); }
    int levels() const { return int(owned_.size()); }

private:
    Buffer* base_ = nullptr;
    std::vector<std::unique_ptr<Buffer>> owned_;
};

// Fills `next` (already cleared) with the 2 x 2 means of `prev` over region r.
void halveRegion(const Buffer& prev, Region r, Buffer& next);

} // namespace qxm::imlib
