#pragma once
// Hand-made bitmaps and frame sequences for the tracking tests.
#include "tracking/MovieFrames.h"
#include "tracking/Tracker.h"

#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <vector>

namespace qxm::track::test {

inline void put32(std::vector<uint8_t>& v, std::size_t at, uint32_t x) {
    for (int i = 0; i < 4; ++i)
        v[at + i] = uint8_t(x >> (8 * i));
}
inline void put16(std::vector<uint8_t>& v, std::size_t at, uint16_t x) {
    v[at] = uint8_t(x);
    v[at + 1] = uint8_t(x >> 8);
}

// A bitmap with the given header fields, colours table entries and bytes per row. pixel(x, y)
// fills bytesPerPixel bytes of top-down row y (stored bottom-up).
struct DibLayout {
    int32_t width = 0, height = 0;
    uint16_t bits = 24;
    uint32_t colorsUsed = 0;
    uint32_t tableEntries = 0;
    uint32_t bytesPerPixel = 3;
    bool zeroImageSize = false;
};

inline std::vector<uint8_t> makeDib(const DibLayout& s,
                                    const std::function<void(int, int, uint8_t*)>& pixel,
                                    const std::vector<uint32_t>& table = {}) {
    const uint32_t row = (uint32_t(s.width) * s.bytesPerPixel + 3) / 4 * 4;
    const uint32_t image = row * uint32_t(s.height);
    std::vector<uint8_t> d(40 + s.tableEntries * 4 + image, 0);
    put32(d, 0, 40);
    put32(d, 4, uint32_t(s.width));
    put32(d, 8, uint32_t(s.height));
    put16(d, 12, 1);
    put16(d, 14, s.bits);
    put32(d, 20, s.zeroImageSize ? 0 : image);
    put32(d, 32, s.colorsUsed);
    for (uint32_t i = 0; i < s.tableEntries && i < table.size(); ++i)
        put32(d, 40 + 4 * i, table[i]);
    uint8_t* pixels = d.data() + 40 + s.tableEntries * 4;
    for (int y = 0; y < s.height; ++y)
        for (int x = 0; x < s.width; ++x)
            pixel(x, y,
                  pixels + std::size_t(s.height - 1 - y) * row + std::size_t(x) * s.bytesPerPixel);
    return d;
}

// A 24-bit bitmap of a gray picture: every pixel (v, v, v).
inline std::vector<uint8_t> grayDib(int w, int h, const std::function<uint8_t(int, int)>& v) {
    return makeDib({w, h, 24, 0, 0, 3, false},
                   [&](int x, int y, uint8_t* p) { p[0] = p[1] = p[2] = v(x, y); });
}

// Deterministic texture: smooth enough for the pyramid, rich enough to match.
inline uint8_t texture(uint32_t seed, int x, int y) {
    auto hash = [seed](int a, int b) {
        uint32_t h = seed * 0x9E3779B1u ^ uint32_t(a) * 0x85EBCA77u ^ uint32_t(b) * 0xC2B2AE3Du;
        h ^= h >> 15;
        h *= 0x2C1B3C6Du;
        h ^= h >> 12;
        return int(h & 0xFF);
    };
    // Two octaves of blocky value noise.
    int v = hash(x >> 3, y >> 3) / 2 + hash(x >> 1, y >> 1) / 4 + 32;
    return uint8_t(v);
}

// A moving textured object over a textured background; frames are gray 24-bit bitmaps.
class Scene : public DibSource {
public:
    Scene(int w, int h, int frames, std::function<Rect(int)> object)
        : w_(w), h_(h), frames_(frames), object_(std::move(object)) {}

    bool dib(int32_t n, std::vector<uint8_t>& out) override {
        ++decodes;
        ++decodesOf[n];
        if (n < 0 || n >= frames_ || failAt.count(n)) return false;
        const Rect o = object_(n);
        out = grayDib(w_, h_, [&](int x, int y) {
            if (x >= o.left && x < o.right && y >= o.top && y < o.bottom)
                return uint8_t(255 - texture(7, x - o.left, y - o.top));
            return texture(1, x, y);
        });
        return true;
    }
    Rect object(int n) const { return object_(n); }
    int width() const { return w_; }
    int height() const { return h_; }

    int decodes = 0;
    std::map<int, int> decodesOf;
    std::map<int, bool> failAt;

private:
    int w_, h_, frames_;
    std::function<Rect(int)> object_;
};

inline double iou(const Rect& a, const Rect& b) {
    const int64_t l = std::max(a.left, b.left), r = std::min(a.right, b.right);
    const int64_t t = std::max(a.top, b.top), bt = std::min(a.bottom, b.bottom);
    const double inter = (l < r && t < bt) ? double((r - l) * (bt - t)) : 0.0;
    const double uni = double(a.width() * a.height() + b.width() * b.height()) - inter;
    return uni > 0 ? inter / uni : 0.0;
}

// Rectangles of every frame from the first to the last record, linearly interpolated between
// the records.
inline std::vector<Rect> fillByInterpolation(const SetAutoAnchorRecord* rec, int32_t n) {
    std::vector<Rect> out;
    for (int32_t i = 0; i + 1 < n; ++i) {
        const auto& a = rec[i];
        const auto& b = rec[i + 1];
        for (int32_t f = a.frame; f < b.frame; ++f) {
            const double t = double(f - a.frame) / (b.frame - a.frame);
            auto lerp = [t](int32_t p, int32_t q) { return int32_t(p + t * (q - p) + 0.5); };
            out.push_back(Rect{lerp(a.left, b.left), lerp(a.top, b.top), lerp(a.right, b.right),
                               lerp(a.bottom, b.bottom)});
        }
    }
    if (n > 0) out.push_back(rectOf(rec[n - 1]));
    return out;
}

} // namespace qxm::track::test
