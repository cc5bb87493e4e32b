#include "Pyramid.h"

#include <cstring>
#include <new>

namespace qxm::imlib {

int pyramidDepth(int32_t mw, int32_t mh, int32_t rw, int32_t rh) {
    int depth = 0;
    for (;;) {
        if ((mw = (mw + 1) / 2) < 4) break;
        if ((mh = (mh + 1) / 2) < 4) break;
        if ((rw = (rw + 1) / 2) < 8) break;
        if ((rh = (rh + 1) / 2) < 8) break;
        if (++depth == IM_LEVEL_MAX) break;
    }
    return depth;
}

namespace {

// One output row from source rows a and b: pairs of columns from x while below xEnd, then
// for an odd width one more pixel from the last two columns.
inline void halveRow(const uint8_t* a, const uint8_t* b, int32_t x, int32_t w, uint8_t* out) {
    const int32_t xEnd = x + w - 1;
    int32_t i = 0;
    for (int32_t c = x; c < xEnd; c += 2, ++i)
        out[i] = uint8_t((unsigned(a[c]) + a[c + 1] + b[c] + b[c + 1]) >> 2);
    if (w & 1) out[i] = uint8_t((unsigned(a[xEnd - 1]) + a[xEnd] + b[xEnd - 1] + b[xEnd]) >> 2);
}

} // namespace

void halveRegion(const Buffer& prev, Region r, Buffer& next) {
    if (r.w < 2 || r.h < 2) return; // the depth rule never builds from narrower regions
    const int32_t yEnd = r.y + r.h - 1;
    uint32_t j = 0;
    for (int32_t row = r.y; row < yEnd; row += 2, ++j)
        halveRow(prev.row(uint32_t(row)), prev.row(uint32_t(row + 1)), r.x, r.w,
                 next.row(uint32_t(r.y / 2) + j) + r.x / 2);
    if (r.h & 1)
        halveRow(prev.row(uint32_t(yEnd - 1)), prev.row(uint32_t(yEnd)), r.x, r.w,
                 next.row(uint32_t(r.y / 2) + j) + r.x / 2);
}

int32_t Pyramid::build(Buffer& base, Region region, int levels) {
    base_ = &base;
    owned_.clear();
    base.work = region;
    const Buffer* prev = &base;
    for (int k = 1; k <= levels; ++k) {
        std::unique_ptr<Buffer> next;
        const int32_t code =
            makeBuffer(int32_t((prev->width + 1) / 2), int32_t((prev->height + 1) / 2), 8, next);
        if (code != IM_OK) {
            owned_.clear();
            return code;
        }
        std::memset(next->pixels.get(), 0, next->size());
        const Area& pa = prev->search;
        next->search = Area{pa.x / 2, pa.y / 2, (pa.x + pa.w - 1) / 2 - pa.x / 2 + 1,
                            (pa.y + pa.h - 1) / 2 - pa.y / 2 + 1};
        const Region& r = prev->work;
        next->work = Region{r.x / 2, r.y / 2, (r.x + r.w - 1) / 2 - r.x / 2 + 1,
                            (r.y + r.h - 1) / 2 - r.y / 2 + 1};
        halveRegion(*prev, r, *next);
        try {
            owned_.push_back(std::move(next));
        } catch (const std::bad_alloc&) {
            owned_.clear();
            return IM_ERR_NOMEM;
        }
        prev = owned_.back().get();
    }
    return IM_OK;
}

} // namespace qxm::imlib
