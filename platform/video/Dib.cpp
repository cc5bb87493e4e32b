// Packing of frames as device-independent bitmaps (little-endian header fields).
#include "platform/video/FrameSource.h"

#include <cstring>

namespace qxm::video {

namespace {

void put32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out[at + i] = uint8_t(v >> (8 * i));
}

void put16(std::vector<uint8_t>& out, size_t at, uint16_t v) {
    out[at] = uint8_t(v);
    out[at + 1] = uint8_t(v >> 8);
}

} // namespace

std::vector<uint8_t> packDib(const Frame& frame) {
    const bool pal = frame.kind == Frame::Kind::Pal8;
    const size_t bytesPerPixel = pal ? 1 : 3;
    if (frame.width <= 0 || frame.height <= 0 ||
        frame.pixels.size() < size_t(frame.width) * frame.height * bytesPerPixel ||
        (pal && frame.palette.size() < 256))
        return {};
    const size_t used = size_t(frame.width) * bytesPerPixel;
    const size_t rowLength = (used + 3) & ~size_t(3);
    const size_t tableSize = pal ? 256 * 4 : 0;
    const size_t headerSize = 40;
    std::vector<uint8_t> out(headerSize + tableSize + rowLength * frame.height, 0);
    put32(out, 0, 40);
    put32(out, 4, uint32_t(frame.width));
    put32(out, 8, uint32_t(frame.height));
    put16(out, 12, 1);
    put16(out, 14, pal ? 8 : 24);
    put32(out, 16, 0); // no compression
    put32(out, 20, uint32_t(rowLength * frame.height));
    put32(out, 32, pal ? 256 : 0); // colours used
    if (pal) {
        for (int i = 0; i < 256; ++i) {
            const uint32_t c = frame.palette[i];
            uint8_t* e = &out[headerSize + size_t(i) * 4];
            e[0] = uint8_t(c);       // blue
            e[1] = uint8_t(c >> 8);  // green
            e[2] = uint8_t(c >> 16); // red
            e[3] = 0;
        }
    }
    uint8_t* rows = out.data() + headerSize + tableSize;
    for (int y = 0; y < frame.height; ++y) {
        // Bottom row first.
        const uint8_t* src = frame.pixels.data() + size_t(frame.height - 1 - y) * used;
        std::memcpy(rows + size_t(y) * rowLength, src, used);
    }
    return out;
}

} // namespace qxm::video
