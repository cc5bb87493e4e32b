// The exported C functions. No exception leaves them: lack of memory is IM_ERR_NOMEM.
#include "ImBuf.h"
#include "Search.h"

#include <cmath>
#include <cstring>
#include <exception>
#include <new>

using namespace qxm::imlib;

namespace {

template <typename F> int32_t guarded(F&& body) {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return IM_ERR_NOMEM;
    } catch (...) {
        return IM_ERR_NOMEM;
    }
}

// -1 in a rectangle selects (0, 0, width, height) of the given buffer, field by field.
void applyDefaults(const Buffer& b, int32_t& x, int32_t& y, int32_t& w, int32_t& h) {
    if (x == -1) x = 0;
    if (y == -1) y = 0;
    if (w == -1) w = int32_t(b.width);
    if (h == -1) h = int32_t(b.height);
}

} // namespace

extern "C" {

__attribute__((visibility("default"))) int32_t ImBufAlloc(int32_t width, int32_t height,
                                                          int32_t depth, ImBufHandle* out) {
    return guarded([&] {
        std::unique_ptr<Buffer> buffer;
        const int32_t code = makeBuffer(width, height, depth, buffer);
        if (code != IM_OK) return code;
        if (out == nullptr) return int32_t(IM_ERR_PARAM);
        *out = library().buffers.add(std::move(buffer));
        return int32_t(IM_OK);
    });
}

__attribute__((visibility("default"))) int32_t ImBufFree(ImBufHandle h) {
    return library().buffers.remove(h) ? 1 : 0;
}

__attribute__((visibility("default"))) int32_t
ImBufCopy(ImBufHandle src, ImBufHandle dst, int32_t x, int32_t y, int32_t w, int32_t h) {
    if (src == dst) return IM_OK;
    CImBuf& reg = library().buffers;
    if (src == -1) {
        Buffer* d = reg.find(dst);
        if (d == nullptr) return IM_ERR_NOBUF;
        std::memset(d->pixels.get(), 0, d->size());
        return IM_OK;
    }
    const Buffer* s = reg.find(src);
    Buffer* d = reg.find(dst);
    if (s == nullptr || d == nullptr) return IM_ERR_NOBUF;
    applyDefaults(*s, x, y, w, h);
    if (!rectInside(s->width, s->height, x, y, w, h)) return IM_ERR_RECT;
    const uint32_t rows = std::min(uint32_t(h), d->height);
    const uint32_t bytes = std::min(uint32_t(w), d->width);
    for (uint32_t i = 0; i < rows; ++i)
        std::memcpy(d->row(i), s->row(uint32_t(y) + i) + x, bytes);
    return IM_OK;
}

__attribute__((visibility("default"))) int32_t
ImBufPut(ImBufHandle h, int32_t x, int32_t y, int32_t w, int32_t hgt, const uint8_t* data) {
    Buffer* b = library().buffers.find(h);
    if (b == nullptr) return IM_ERR_NOBUF;
    applyDefaults(*b, x, y, w, hgt);
    if (!rectInside(b->width, b->height, x, y, w, hgt)) return IM_ERR_RECT;
    if (data == nullptr) return IM_ERR_PARAM;
    for (int32_t i = 0; i < hgt; ++i)
        std::memcpy(b->row(uint32_t(y + i)) + x, data + std::size_t(i) * std::size_t(w),
                    std::size_t(w));
    return IM_OK;
}

__attribute__((visibility("default"))) int32_t
ImPatAllocModel(ImBufHandle src, ImBufHandle* model, int32_t x, int32_t y, int32_t w, int32_t h) {
    return guarded([&] {
        const Buffer* s = library().buffers.find(src);
        if (s == nullptr) return int32_t(IM_ERR_NOBUF);
        if (w < IM_MODEL_MIN || h < IM_MODEL_MIN) return int32_t(IM_ERR_MODELSIZE);
        if (!rectInside(s->width, s->height, x, y, w, h)) return int32_t(IM_ERR_RECT);
        std::unique_ptr<Buffer> m;
        const int32_t code = makeBuffer(w, h, 8, m);
        if (code != IM_OK) return code;
        if (model == nullptr) return int32_t(IM_ERR_PARAM);
        for (int32_t i = 0; i < h; ++i)
            std::memcpy(m->row(uint32_t(i)), s->row(uint32_t(y + i)) + x, std::size_t(w));
        *model = library().buffers.add(std::move(m));
        return int32_t(IM_OK);
    });
}

__attribute__((visibility("default"))) int32_t ImPatFreeModel(ImBufHandle model) {
    return library().buffers.remove(model) ? 1 : 0;
}

__attribute__((visibility("default"))) int32_t ImPatAllocResult(ImPatResult** out, int32_t count) {
    if (count < 1 || count > IM_RESULT_MAX) return IM_ERR_RESULTCOUNT;
    if (out == nullptr) return IM_ERR_PARAM;
    return guarded([&] {
        *out = library().results.allocate(count);
        return int32_t(IM_OK);
    });
}

__attribute__((visibility("default"))) void ImPatFreeResult(ImPatResult* results) {
    library().results.release(results);
}

__attribute__((visibility("default"))) int32_t ImPatSetAccept(double threshold) {
    // Written so that a NaN fails the test as well.
    if (!(threshold >= 0.0 && threshold <= 100.0)) return IM_ERR_PARAM;
    library().params.accept = threshold;
    return IM_OK;
}

__attribute__((visibility("default"))) int32_t ImPatSetSearchArea(ImBufHandle image, int32_t x,
                                                                  int32_t y, int32_t w, int32_t h) {
    Buffer* b = library().buffers.find(image);
    if (b == nullptr) return IM_ERR_NOBUF;
    applyDefaults(*b, x, y, w, h);
    if (!rectInside(b->width, b->height, x, y, w, h)) return IM_ERR_RECT;
    b->search = Area{uint32_t(x), uint32_t(y), uint32_t(w), uint32_t(h)};
    return IM_OK;
}

__attribute__((visibility("default"))) int32_t ImPatUseSecondPixel(int32_t flag) {
    library().params.secondPixel = flag;
    return flag;
}

__attribute__((visibility("default"))) int32_t ImPatSetSearchLevel(int32_t first, int32_t last) {
    if (last < 0 || first < last || first > IM_LEVEL_MAX) return IM_ERR_PARAM;
    library().params.firstLevel = first;
    library().params.lastLevel = last;
    return IM_OK;
}

__attribute__((visibility("default"))) int32_t ImPatExecute(ImBufHandle model, ImBufHandle image,
                                                            ImPatResult* results) {
    return guarded([&] {
        Library& lib = library();
        const int32_t capacity = lib.results.capacity(results);
        if (capacity == 0) return int32_t(IM_ERR_NOMEM);
        Buffer* m = lib.buffers.find(model);
        Buffer* i = lib.buffers.find(image);
        if (m == nullptr || i == nullptr) return int32_t(IM_ERR_NOBUF);
        return execute(*m, *i, lib.params, results, capacity);
    });
}

} // extern "C"
