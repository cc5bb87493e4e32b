#include "player_control/cursors/CursorFile.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <new>

namespace qxm::cursors {

namespace {

using Bytes = std::span<const std::uint8_t>;

constexpr std::uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr std::size_t kBitmapHeaderBytes = 40;
constexpr std::uint32_t kAniIconFlag = 1;

// True when [offset, offset + length) lies inside a buffer of size bytes.
bool fits(std::size_t size, std::size_t offset, std::size_t length) {
    return offset <= size && length <= size - offset;
}

std::uint16_t u16(Bytes b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

std::uint32_t u32(Bytes b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at]) | (static_cast<std::uint32_t>(b[at + 1]) << 8) |
           (static_cast<std::uint32_t>(b[at + 2]) << 16) |
           (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

std::uint32_t u32be(Bytes b, std::size_t at) {
    return (static_cast<std::uint32_t>(b[at]) << 24) |
           (static_cast<std::uint32_t>(b[at + 1]) << 16) |
           (static_cast<std::uint32_t>(b[at + 2]) << 8) | static_cast<std::uint32_t>(b[at + 3]);
}

bool hasTag(Bytes b, std::size_t at, const char (&tag)[5]) {
    return fits(b.size(), at, 4) && std::memcmp(b.data() + at, tag, 4) == 0;
}

std::size_t rowBytes(std::size_t width, std::size_t bits) {
    return (width * bits + 31) / 32 * 4;
}

// The size of a PNG entry from its header chunk; the pixels are the caller's to decode.
CursorError readPng(Bytes data, CursorImage& img) {
    if (!fits(data.size(), 0, 24) || !hasTag(data, 12, "IHDR")) return CursorError::Format;
    const std::uint32_t w = u32be(data, 16);
    const std::uint32_t h = u32be(data, 20);
    if (w == 0 || h == 0) return CursorError::Format;
    if (w > kMaxCursorSize || h > kMaxCursorSize) return CursorError::TooLarge;
    img.width = static_cast<int>(w);
    img.height = static_cast<int>(h);
    img.bitCount = 32;
    img.png.assign(data.begin(), data.end());
    return CursorError::None;
}

// A bitmap entry: header, palette (up to 8 bits), colour rows and the 1-bit mask, both bottom-up.
CursorError readBitmap(Bytes data, CursorImage& img) {
    if (!fits(data.size(), 0, kBitmapHeaderBytes)) return CursorError::Format;
    const std::uint32_t headerSize = u32(data, 0);
    const auto width = static_cast<std::int32_t>(u32(data, 4));
    const auto doubleHeight = static_cast<std::int32_t>(u32(data, 8));
    const std::uint16_t bits = u16(data, 14);
    const std::uint32_t compression = u32(data, 16);
    const std::uint32_t colorsUsed = u32(data, 32);
    if (headerSize < kBitmapHeaderBytes || headerSize > data.size()) return CursorError::Format;
    if (width <= 0 || doubleHeight < 2) return CursorError::Format;
    const std::int32_t height = doubleHeight / 2;
    if (width > kMaxCursorSize || height > kMaxCursorSize) return CursorError::TooLarge;
    if (compression != 0) return CursorError::Unsupported;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32)
        return CursorError::Unsupported;

    // Up to 8 bits the pixels index the colour table; deeper bitmaps may still carry a table
    // (a hint for palette displays) that only has to be stepped over.
    const std::size_t full = std::size_t{1} << std::min<int>(bits, 8);
    if (colorsUsed > full) return CursorError::Format;
    const std::size_t paletteSize = bits <= 8 && colorsUsed == 0 ? full : colorsUsed;
    const std::size_t w = static_cast<std::size_t>(width);
    const std::size_t h = static_cast<std::size_t>(height);
    const std::size_t paletteAt = headerSize;
    const std::size_t colorAt = paletteAt + paletteSize * 4;
    const std::size_t colorStride = rowBytes(w, bits);
    const std::size_t maskAt = colorAt + colorStride * h;
    const std::size_t maskStride = rowBytes(w, 1);
    if (!fits(data.size(), colorAt, colorStride * h)) return CursorError::Format;
    // A 32-bit image carries its own alpha; a missing mask is tolerated there.
    const bool haveMask = fits(data.size(), maskAt, maskStride * h);
    if (!haveMask && bits != 32) return CursorError::Format;

    img.width = width;
    img.height = height;
    img.bitCount = bits;
    img.rgba.assign(w * h * 4, 0);
    bool anyAlpha = false;
    for (std::size_t y = 0; y < h; ++y) {
        const std::size_t srcRow = h - 1 - y;
        const std::uint8_t* src = data.data() + colorAt + srcRow * colorStride;
        std::uint8_t* dst = img.rgba.data() + y * w * 4;
        for (std::size_t x = 0; x < w; ++x, dst += 4) {
            std::uint8_t bgra[4] = {0, 0, 0, 0};
            if (bits <= 8) {
                const std::size_t bitPos = x * bits;
                const unsigned shift = 8 - bits - (bitPos % 8);
                const std::size_t index = (src[bitPos / 8] >> shift) & ((1u << bits) - 1);
                if (index < paletteSize) std::memcpy(bgra, data.data() + paletteAt + index * 4, 3);
            } else {
                std::memcpy(bgra, src + x * (bits / 8), bits / 8);
            }
            dst[0] = bgra[2];
            dst[1] = bgra[1];
            dst[2] = bgra[0];
            dst[3] = bits == 32 ? bgra[3] : 0;
            anyAlpha = anyAlpha || dst[3] != 0;
        }
    }
    if (bits == 32 && anyAlpha) return CursorError::None;
    // Alpha from the mask: clear bits are opaque. A set bit over a black pixel is transparent;
    // over any other colour it would invert the screen, which has no RGBA form: it is shown as
    // opaque black so that the shape stays visible.
    for (std::size_t y = 0; y < h; ++y) {
        const std::uint8_t* mask =
            haveMask ? data.data() + maskAt + (h - 1 - y) * maskStride : nullptr;
        std::uint8_t* dst = img.rgba.data() + y * w * 4;
        for (std::size_t x = 0; x < w; ++x, dst += 4) {
            const bool set = mask && ((mask[x / 8] >> (7 - x % 8)) & 1);
            if (!set) {
                dst[3] = 255;
            } else if (dst[0] | dst[1] | dst[2]) {
                dst[0] = dst[1] = dst[2] = 0;
                dst[3] = 255;
            }
        }
    }
    return CursorError::None;
}

CursorError readDirectory(Bytes bytes, std::vector<CursorImage>& images) {
    images.clear();
    if (!fits(bytes.size(), 0, 6) || u16(bytes, 0) != 0) return CursorError::Format;
    const std::uint16_t type = u16(bytes, 2);
    const std::size_t count = u16(bytes, 4);
    if ((type != 1 && type != 2) || count == 0) return CursorError::Format;
    if (count > kMaxCursorImages) return CursorError::TooLarge;
    if (!fits(bytes.size(), 6, count * 16)) return CursorError::Format;
    CursorError firstError = CursorError::None;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t entry = 6 + i * 16;
        const std::uint32_t size = u32(bytes, entry + 8);
        const std::uint32_t offset = u32(bytes, entry + 12);
        // Some writers get the size wrong; the data then ends with the file.
        if (offset >= bytes.size() || offset < 6 + count * 16) {
            firstError = CursorError::Format;
            continue;
        }
        const Bytes data =
            bytes.subspan(offset, std::min<std::size_t>(size, bytes.size() - offset));
        CursorImage img;
        const bool png = fits(data.size(), 0, 8) && std::memcmp(data.data(), kPngSignature, 8) == 0;
        const CursorError e = png ? readPng(data, img) : readBitmap(data, img);
        if (e != CursorError::None) {
            if (firstError == CursorError::None) firstError = e;
            continue;
        }
        if (type == 2) {
            img.hotspotX = std::min<int>(u16(bytes, entry + 4), img.width - 1);
            img.hotspotY = std::min<int>(u16(bytes, entry + 6), img.height - 1);
        } else {
            img.hotspotX = img.width / 2;
            img.hotspotY = img.height / 2;
        }
        images.push_back(std::move(img));
    }
    return images.empty() ? firstError : CursorError::None;
}

struct AniHeader {
    std::uint32_t frames = 0;
    std::uint32_t steps = 0;
    std::uint32_t jiffies = 0;
    std::uint32_t flags = 0;
};

CursorError readU32Array(Bytes data, std::vector<std::uint32_t>& out) {
    if (data.size() / 4 > kMaxAnimationSteps) return CursorError::TooLarge;
    out.clear();
    for (std::size_t at = 0; at + 4 <= data.size(); at += 4)
        out.push_back(u32(data, at));
    return CursorError::None;
}

// Frames of a "LIST" "fram" chunk: one cursor or icon file per "icon" chunk. A form may hold
// several such lists; the frames of the earlier ones count towards the limits too.
CursorError readFrames(Bytes list, std::vector<CursorImage>& frames) {
    std::size_t decoded = 0;
    for (const CursorImage& frame : frames)
        decoded += frame.rgba.size() + frame.png.size();
    for (std::size_t at = 4; fits(list.size(), at, 8);) {
        const std::uint32_t size = u32(list, at + 4);
        if (!fits(list.size(), at + 8, size)) return CursorError::Format;
        if (hasTag(list, at, "icon")) {
            if (frames.size() == kMaxAnimationFrames) return CursorError::TooLarge;
            std::vector<CursorImage> images;
            const CursorError e = readDirectory(list.subspan(at + 8, size), images);
            if (e != CursorError::None) return e;
            CursorImage& picked = images[pickCursorImage(images)];
            decoded += picked.rgba.size() + picked.png.size();
            if (decoded > kMaxAnimationBytes) return CursorError::TooLarge;
            frames.push_back(std::move(picked));
        }
        at += 8 + size + (size & 1);
    }
    return CursorError::None;
}

CursorError readAnimation(Bytes bytes, CursorData& out) {
    if (!hasTag(bytes, 0, "RIFF") || !hasTag(bytes, 8, "ACON")) return CursorError::Format;
    const Bytes form =
        bytes.subspan(0, std::min<std::size_t>(bytes.size(), 8 + std::size_t{u32(bytes, 4)}));
    AniHeader header;
    bool haveHeader = false;
    std::vector<std::uint32_t> rates, sequence;
    bool haveRates = false, haveSequence = false;
    for (std::size_t at = 12; fits(form.size(), at, 8);) {
        const std::uint32_t size = u32(form, at + 4);
        if (!fits(form.size(), at + 8, size)) return CursorError::Format;
        const Bytes data = form.subspan(at + 8, size);
        CursorError e = CursorError::None;
        if (hasTag(form, at, "anih")) {
            if (size < 36) return CursorError::Format;
            header = {u32(data, 4), u32(data, 8), u32(data, 28), u32(data, 32)};
            haveHeader = true;
        } else if (hasTag(form, at, "rate")) {
            e = readU32Array(data, rates);
            haveRates = true;
        } else if (hasTag(form, at, "seq ")) {
            e = readU32Array(data, sequence);
            haveSequence = true;
        } else if (hasTag(form, at, "LIST") && hasTag(data, 0, "fram")) {
            e = readFrames(data, out.frames);
        }
        if (e != CursorError::None) return e;
        at += 8 + size + (size & 1);
    }
    if (!haveHeader || out.frames.empty()) return CursorError::Format;
    if (!(header.flags & kAniIconFlag)) return CursorError::Unsupported;
    std::size_t steps = header.steps ? header.steps : out.frames.size();
    if (haveSequence) steps = std::min(steps, sequence.size());
    if (steps > kMaxAnimationSteps) return CursorError::TooLarge;
    if (steps == 0) return CursorError::Format;
    for (std::size_t i = 0; i < steps; ++i) {
        const std::size_t frame = haveSequence ? sequence[i] : i % out.frames.size();
        if (frame >= out.frames.size()) return CursorError::Format;
        const std::uint32_t jiffies = haveRates && i < rates.size() ? rates[i] : header.jiffies;
        out.steps.push_back({frame, jiffies});
    }
    out.animated = true;
    return CursorError::None;
}

void putU16(std::vector<std::uint8_t>& v, std::uint32_t x) {
    v.push_back(static_cast<std::uint8_t>(x));
    v.push_back(static_cast<std::uint8_t>(x >> 8));
}

void putU32(std::vector<std::uint8_t>& v, std::uint32_t x) {
    putU16(v, x & 0xFFFF);
    putU16(v, x >> 16);
}

} // namespace

std::uint32_t stepMilliseconds(const CursorStep& step) {
    const std::uint64_t jiffies = std::max<std::uint32_t>(step.jiffies, 1);
    return static_cast<std::uint32_t>(
        std::min<std::uint64_t>(jiffies * 1000 / kJiffiesPerSecond, UINT32_MAX));
}

CursorError readCursorImages(std::span<const std::uint8_t> bytes,
                             std::vector<CursorImage>& images) {
    try {
        return readDirectory(bytes, images);
    } catch (const std::bad_alloc&) {
        images.clear();
        return CursorError::TooLarge;
    }
}

std::size_t pickCursorImage(const std::vector<CursorImage>& images, int preferredSize) {
    std::size_t best = 0;
    for (std::size_t i = 1; i < images.size(); ++i) {
        const int d = std::abs(std::max(images[i].width, images[i].height) - preferredSize);
        const int bestD =
            std::abs(std::max(images[best].width, images[best].height) - preferredSize);
        if (d < bestD || (d == bestD && images[i].bitCount > images[best].bitCount)) best = i;
    }
    return best;
}

CursorError readAnimatedCursor(std::span<const std::uint8_t> bytes, CursorData& out) {
    out = {};
    CursorError e;
    try {
        e = readAnimation(bytes, out);
    } catch (const std::bad_alloc&) {
        e = CursorError::TooLarge;
    }
    if (e != CursorError::None) out = {};
    return e;
}

CursorError readCursor(std::span<const std::uint8_t> bytes, CursorData& out) {
    if (hasTag(bytes, 0, "RIFF")) return readAnimatedCursor(bytes, out);
    out = {};
    std::vector<CursorImage> images;
    const CursorError e = readCursorImages(bytes, images);
    if (e != CursorError::None) return e;
    out.frames.push_back(std::move(images[pickCursorImage(images)]));
    out.steps.push_back({0, 0});
    return CursorError::None;
}

CursorError loadCursorFile(const std::string& path, CursorData& out) {
    out = {};
    std::ifstream in(path, std::ios::binary);
    if (!in.is_open()) return CursorError::Open;
    std::vector<std::uint8_t> bytes;
    try {
        char chunk[65536];
        while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
            if (bytes.size() + static_cast<std::size_t>(in.gcount()) > kMaxCursorFileBytes)
                return CursorError::TooLarge;
            bytes.insert(bytes.end(), chunk, chunk + in.gcount());
        }
    } catch (const std::exception&) {
        return CursorError::Open;
    }
    if (in.bad()) return CursorError::Open;
    return readCursor(bytes, out);
}

std::vector<std::uint8_t> writeCursorFile(const CursorImage& image) {
    const auto w = static_cast<std::size_t>(image.width);
    const auto h = static_cast<std::size_t>(image.height);
    const std::size_t maskStride = rowBytes(w, 1);
    const std::size_t dataSize = kBitmapHeaderBytes + w * h * 4 + maskStride * h;
    std::vector<std::uint8_t> v;
    v.reserve(22 + dataSize);
    putU16(v, 0);
    putU16(v, 2);
    putU16(v, 1);
    v.push_back(static_cast<std::uint8_t>(w >= 256 ? 0 : w));
    v.push_back(static_cast<std::uint8_t>(h >= 256 ? 0 : h));
    putU16(v, 0);
    putU16(v, static_cast<std::uint32_t>(image.hotspotX));
    putU16(v, static_cast<std::uint32_t>(image.hotspotY));
    putU32(v, static_cast<std::uint32_t>(dataSize));
    putU32(v, 22);
    putU32(v, kBitmapHeaderBytes);
    putU32(v, static_cast<std::uint32_t>(w));
    putU32(v, static_cast<std::uint32_t>(2 * h));
    putU16(v, 1);
    putU16(v, 32);
    for (int i = 0; i < 6; ++i)
        putU32(v, 0);
    for (std::size_t y = h; y-- > 0;) {
        for (std::size_t x = 0; x < w; ++x) {
            const std::uint8_t* p = image.rgba.data() + (y * w + x) * 4;
            v.insert(v.end(), {p[2], p[1], p[0], p[3]});
        }
    }
    for (std::size_t y = h; y-- > 0;) {
        std::vector<std::uint8_t> row(maskStride, 0);
        for (std::size_t x = 0; x < w; ++x) {
            if (image.rgba[(y * w + x) * 4 + 3] == 0) row[x / 8] |= 0x80 >> (x % 8);
        }
        v.insert(v.end(), row.begin(), row.end());
    }
    return v;
}

} // namespace qxm::cursors
