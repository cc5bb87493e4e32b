#pragma once
// Builders of cursor files for the reader tests: bitmaps of any depth, directories, RIFF forms.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace qxm::cursors::testfiles {

using Buf = std::vector<std::uint8_t>;

inline void u16(Buf& b, std::uint32_t v) {
    b.push_back(v & 0xFF);
    b.push_back((v >> 8) & 0xFF);
}
inline void u32(Buf& b, std::uint32_t v) {
    u16(b, v & 0xFFFF);
    u16(b, v >> 16);
}
inline void tag(Buf& b, const char* t) {
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<std::uint8_t>(t[i]));
}
inline void append(Buf& b, const Buf& more) {
    b.insert(b.end(), more.begin(), more.end());
}

// A bitmap entry. pixel(x, y) gives, for the top-down position, the palette index (up to 8 bits)
// or the BGR / BGRA value packed as 0xAARRGGBB; mask(x, y) gives the mask bit.
inline Buf dib(int w, int h, int bits, const std::vector<std::uint32_t>& palette,
               const std::function<std::uint32_t(int, int)>& pixel,
               const std::function<bool(int, int)>& mask, std::uint32_t colorsUsed = 0,
               bool withMask = true) {
    Buf b;
    u32(b, 40);
    u32(b, w);
    u32(b, 2 * h);
    u16(b, 1);
    u16(b, bits);
    u32(b, 0);
    for (int i = 0; i < 5; ++i)
        u32(b, i == 3 ? colorsUsed : 0); // size, resolution, colours
    for (std::uint32_t c : palette)
        u32(b, c & 0xFFFFFF);
    const int stride = (w * bits + 31) / 32 * 4;
    for (int y = h - 1; y >= 0; --y) {
        Buf row(stride, 0);
        for (int x = 0; x < w; ++x) {
            const std::uint32_t v = pixel(x, y);
            if (bits <= 8) {
                const int bit = x * bits;
                row[bit / 8] |= static_cast<std::uint8_t>(v << (8 - bits - bit % 8));
            } else {
                for (int k = 0; k < bits / 8; ++k)
                    row[x * (bits / 8) + k] = (v >> (8 * k)) & 0xFF;
            }
        }
        append(b, row);
    }
    if (!withMask) return b;
    const int maskStride = (w + 31) / 32 * 4;
    for (int y = h - 1; y >= 0; --y) {
        Buf row(maskStride, 0);
        for (int x = 0; x < w; ++x)
            if (mask(x, y)) row[x / 8] |= 0x80 >> (x % 8);
        append(b, row);
    }
    return b;
}

struct Entry {
    Buf data;
    int hotX = 0;
    int hotY = 0;
};

inline Buf directory(const std::vector<Entry>& entries, int type = 2) {
    Buf b;
    u16(b, 0);
    u16(b, type);
    u16(b, static_cast<std::uint32_t>(entries.size()));
    std::uint32_t offset = 6 + 16 * static_cast<std::uint32_t>(entries.size());
    for (const Entry& e : entries) {
        b.insert(b.end(), {0, 0, 0, 0});
        u16(b, e.hotX);
        u16(b, e.hotY);
        u32(b, static_cast<std::uint32_t>(e.data.size()));
        u32(b, offset);
        offset += static_cast<std::uint32_t>(e.data.size());
    }
    for (const Entry& e : entries)
        append(b, e.data);
    return b;
}

inline Buf chunk(const char* id, const Buf& data) {
    Buf b;
    tag(b, id);
    u32(b, static_cast<std::uint32_t>(data.size()));
    append(b, data);
    if (data.size() & 1) b.push_back(0);
    return b;
}

inline Buf anih(std::uint32_t frames, std::uint32_t steps, std::uint32_t jiffies,
                std::uint32_t flags) {
    Buf b;
    for (std::uint32_t v : {36u, frames, steps, 0u, 0u, 0u, 0u, jiffies, flags})
        u32(b, v);
    return chunk("anih", b);
}

inline Buf words(const std::vector<std::uint32_t>& v) {
    Buf b;
    for (std::uint32_t x : v)
        u32(b, x);
    return b;
}

inline Buf frameList(const std::vector<Buf>& icons) {
    Buf b;
    tag(b, "fram");
    for (const Buf& i : icons)
        append(b, chunk("icon", i));
    return chunk("LIST", b);
}

inline Buf riff(const std::vector<Buf>& chunks) {
    Buf body;
    tag(body, "ACON");
    for (const Buf& c : chunks)
        append(body, c);
    Buf b;
    tag(b, "RIFF");
    u32(b, static_cast<std::uint32_t>(body.size()));
    append(b, body);
    return b;
}

// A small single-colour 1-bit cursor with a given hotspot.
inline Buf solidCursor(int size, std::uint32_t rgb, int hotX = 0, int hotY = 0) {
    return directory(
        {{dib(
              size, size, 1, {0, rgb}, [](int, int) { return 1u; }, [](int, int) { return false; }),
          hotX, hotY}});
}

} // namespace qxm::cursors::testfiles
