// A deliberately plain implementation of the pattern search, written for checking: direct
// window sums and cross sums in doubles, full score tables, a linked result list. Slow on
// purpose; the library must agree with it bit for bit.
#pragma once

#include "qxmimlib.h"

#include <cstdint>
#include <random>
#include <vector>

namespace qxm::imref {

struct Image {
    int width = 0, height = 0;
    std::vector<uint8_t> pixels;
    // Search area (centre positions), the whole image unless set.
    int sx = 0, sy = 0, sw = 0, sh = 0;

    Image() = default;
    Image(int w, int h) : width(w), height(h), pixels(std::size_t(w) * h, 0), sw(w), sh(h) {}
    uint8_t at(int x, int y) const { return pixels[std::size_t(y) * width + x]; }
    uint8_t& at(int x, int y) { return pixels[std::size_t(y) * width + x]; }
};

struct Params {
    double accept = 10.0;
    double certainty = 100.0;
    int secondPixel = 0;
    int firstLevel = 7;
    int lastLevel = 0;
};

struct Outcome {
    int code = 0;                  // what ImPatExecute returns
    std::vector<ImPatResult> hits; // the records it copies into the result array
};

// The whole of an execute: pyramids, level search, result list, copy of the first
// `capacity` records.
Outcome execute(const Image& model, const Image& image, const Params& params, int capacity);

// Number of levels above level 0 (the halving rule).
int pyramidDepth(int mw, int mh, int rw, int rh);

// Rectangle rule of the buffer operations.
bool rectInside(int W, int H, int32_t x, int32_t y, int32_t w, int32_t h);

// Test pictures with structure: each kind fills the whole image from the generator.
enum class Content { Gradient, Blobs, Noise, Pattern, Mixed };
Image makeContent(int width, int height, Content kind, std::mt19937& rng);
// A copy of `src` moved by (dx, dy) (edges repeated) with uniform noise of +-amp added.
Image shiftedNoisyCopy(const Image& src, int dx, int dy, int amp, std::mt19937& rng);
// The w x h rectangle at (x, y) of src.
Image cut(const Image& src, int x, int y, int w, int h);

} // namespace qxm::imref
