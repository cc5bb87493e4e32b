// Buffer registry of the image library: buffer records, handles, the rectangle rule, the
// matching parameters and the result arrays handed out to callers.
#pragma once

#include "qxmimlib.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <unordered_map>

namespace qxm::imlib {

// Search area: positions at which a model centre may be placed (unsigned, as stored).
struct Area {
    uint32_t x = 0, y = 0, w = 0, h = 0;
};

// Working region written by the pyramid builder.
struct Region {
    int32_t x = 0, y = 0, w = 0, h = 0;
};

// One 8-bit gray image: width x height bytes, rows top to bottom without padding.
struct Buffer {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t depth = 8;
    Area search;
    Region work;
    std::unique_ptr<uint8_t[]> pixels;

    uint8_t* row(uint32_t r) { return pixels.get() + std::size_t(r) * width; }
    const uint8_t* row(uint32_t r) const { return pixels.get() + std::size_t(r) * width; }
    std::size_t size() const { return std::size_t(width) * height; }
};

// Makes a buffer of width x height pixels with undefined contents, its search area the whole
// buffer. Returns IM_OK, IM_ERR_SIZE, IM_ERR_DEPTH or IM_ERR_NOMEM.
int32_t makeBuffer(int32_t width, int32_t height, int32_t depth, std::unique_ptr<Buffer>& out);

// A rectangle lies inside a width x height buffer when w >= 1, h >= 1, x <= W, x + w <= W,
// y <= H and y + h <= H, all as unsigned 32-bit values; sums never wrap.
bool rectInside(uint32_t width, uint32_t height, int32_t x, int32_t y, int32_t w, int32_t h);

// The process-wide registry (CImBuf) from handles to buffers.
class CImBuf {
public:
    // Registers a buffer and returns its new handle (never 0, never -1). Throws std::bad_alloc.
    ImBufHandle add(std::unique_ptr<Buffer> buffer);
    Buffer* find(ImBufHandle h) const;
    // Removes and frees a buffer; false when the handle is unknown.
    bool remove(ImBufHandle h);
    std::size_t count() const { return buffers_.size(); }

private:
    std::unordered_map<ImBufHandle, std::unique_ptr<Buffer>> buffers_;
    uint32_t next_ = 1;
};

// Matching parameters, one set for the whole library.
struct Params {
    double accept = 10.0;
    double certainty = 100.0;
    int32_t secondPixel = 0;
    int32_t firstLevel = IM_LEVEL_MAX;
    int32_t lastLevel = 0;
};

// Result arrays handed out by the library, with their capacities.
class ResultArrays {
public:
    // Returns a zero-filled array of count records. Throws std::bad_alloc.
    ImPatResult* allocate(int32_t count);
    // Capacity of an array the library handed out, 0 for anything else.
    int32_t capacity(const ImPatResult* array) const;
    void release(const ImPatResult* array);

private:
    struct Entry {
        std::unique_ptr<ImPatResult[]> records;
        int32_t count = 0;
    };
    std::unordered_map<const ImPatResult*, Entry> arrays_;
};

// The library's one state: registry, parameters and result arrays.
struct Library {
    CImBuf buffers;
    Params params;
    ResultArrays results;
};

Library& library();

} // namespace qxm::imlib
