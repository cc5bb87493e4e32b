#include "tracking/GrayFrame.h"

#include "tracking/Codes.h"

#include <cmath>
#include <cstring>

namespace qxm::track {
namespace {

uint32_t le32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint16_t le16(const uint8_t* p) {
    return uint16_t(p[0] | p[1] << 8);
}

} // namespace

GrayWeights::GrayWeights(double red, double green, double blue) {
    double lo = 0, hi = 0;
    for (int i = 0; i < 256; ++i) {
        r_[i] = i * red;
        g_[i] = i * green;
        b_[i] = i * blue;
    }
    // Each product is monotone in the channel value, so the extremes of the sum lie among the
    // sums of the per-table extremes; a wide margin covers the rounding of the two additions.
    auto lowHigh = [&](const std::array<double, 256>& t) {
        double a = t[0], b = t[255];
        lo += std::fmin(a, b);
        hi += std::fmax(a, b);
    };
    lowHigh(r_);
    lowHigh(g_);
    lowHigh(b_);
    small_ = std::isfinite(lo) && std::isfinite(hi) && lo > -1e9 && hi < 1e9;
}

uint8_t GrayWeights::wrap(double v) {
    if (!(std::fabs(v) < 9.2e18)) return 0;
    return static_cast<uint8_t>(static_cast<uint64_t>(static_cast<int64_t>(v)));
}

uint8_t GrayWeights::direct(double red, double green, double blue, uint8_t r, uint8_t g,
                            uint8_t b) {
    return wrap(r * red + b * blue + g * green);
}

int32_t readGrayDib(const uint8_t* dib, std::size_t size, int32_t width, int32_t height,
                    const GrayWeights& w, uint8_t* gray) {
    if (!dib || size < 40) return kFrameFetch;
    const uint32_t headerSize = le32(dib);
    const int32_t bmWidth = static_cast<int32_t>(le32(dib + 4));
    const int32_t bmHeight = static_cast<int32_t>(le32(dib + 8));
    const uint16_t bits = le16(dib + 14);
    const uint32_t imageSize = le32(dib + 20);
    const uint32_t colorsUsed = le32(dib + 32);
    if (bmWidth != width || bmHeight != height) return kFrameSize;
    if (width <= 0 || height <= 0) return kFrameSize;

    uint32_t colors = 0;
    if (headerSize > 35 && colorsUsed != 0)
        colors = colorsUsed;
    else if (bits <= 8)
        colors = 1u << bits;
    if (colors != 0 && colors != 256) return kFrameFormat;

    // Row length from the image size; a bitmap that leaves the size out (0, allowed for
    // uncompressed bitmaps) gets the standard row length padded to 4 bytes.
    uint64_t rowLen = imageSize / uint64_t(height);
    if (imageSize == 0) rowLen = ((uint64_t(width) * (bits ? bits : 24) + 31) / 32) * 4;
    const uint64_t bytesPerPixel = colors == 0 ? 3 : 1;
    const uint64_t table = uint64_t(headerSize);
    const uint64_t pixels = table + uint64_t(colors) * 4;
    const uint64_t lastRowEnd =
        pixels + rowLen * uint64_t(height - 1) + bytesPerPixel * uint64_t(width);
    if (headerSize < 40 || lastRowEnd > size) return kFrameFormat;

    const std::size_t W = static_cast<std::size_t>(width);
    if (colors == 0) {
        for (int32_t j = 0; j < height; ++j) {
            const uint8_t* src = dib + pixels + rowLen * uint64_t(height - 1 - j);
            uint8_t* dst = gray + W * std::size_t(j);
            for (std::size_t x = 0; x < W; ++x, src += 3)
                dst[x] = w.gray(src[2], src[1], src[0]);
        }
    } else {
        // 256 colours: convert the table once, then every pixel is one lookup.
        uint8_t lut[256];
        const uint8_t* entry = dib + table;
        for (int i = 0; i < 256; ++i, entry += 4)
            lut[i] = w.gray(entry[2], entry[1], entry[0]);
        for (int32_t j = 0; j < height; ++j) {
            const uint8_t* src = dib + pixels + rowLen * uint64_t(height - 1 - j);
            uint8_t* dst = gray + W * std::size_t(j);
            for (std::size_t x = 0; x < W; ++x)
                dst[x] = lut[src[x]];
        }
    }
    return 0;
}

} // namespace qxm::track
