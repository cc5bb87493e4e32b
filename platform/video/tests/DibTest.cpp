#include "platform/video/FrameSource.h"
#include "platform/video/tests/VideoTestSupport.h"

#include <gtest/gtest.h>

using namespace qxm::video;
using namespace qxm::video::testing;

namespace {

uint32_t u32(const std::vector<uint8_t>& d, size_t at) {
    return d[at] | d[at + 1] << 8 | d[at + 2] << 16 | uint32_t(d[at + 3]) << 24;
}
uint16_t u16(const std::vector<uint8_t>& d, size_t at) {
    return uint16_t(d[at] | d[at + 1] << 8);
}

// Reads pixel (x, y), y counted from the top, out of a packed bitmap the way its consumer
// does: colour count from the header, rows of image size / height bytes, bottom row first.
void pixelOf(const std::vector<uint8_t>& dib, int x, int y, uint8_t bgr[3]) {
    const uint32_t headerSize = u32(dib, 0);
    const int height = int(u32(dib, 8));
    const int bits = u16(dib, 14);
    const uint32_t used = u32(dib, 32);
    const uint32_t colours = headerSize > 35 && used ? used : bits <= 8 ? 1u << bits : 0;
    const size_t rowLength = u32(dib, 20) / height;
    const size_t row = headerSize + colours * 4 + rowLength * (height - 1 - y);
    if (colours == 0) {
        for (int c = 0; c < 3; ++c)
            bgr[c] = dib[row + x * 3 + c];
    } else {
        const size_t entry = headerSize + dib[row + x] * 4;
        for (int c = 0; c < 3; ++c)
            bgr[c] = dib[entry + c];
    }
}

} // namespace

TEST(PackDib, TwentyFourBitRowsAreBottomUpAndPaddedToFourBytes) {
    Frame f;
    f.width = 3;
    f.height = 2;
    f.pixels = {1,  2,  3,  4,  5,  6,  7,  8,  9,   // top row
                11, 12, 13, 14, 15, 16, 17, 18, 19}; // bottom row
    const auto dib = packDib(f);
    ASSERT_EQ(dib.size(), 40u + 2 * 12);
    EXPECT_EQ(u32(dib, 0), 40u);
    EXPECT_EQ(u32(dib, 4), 3u);
    EXPECT_EQ(u32(dib, 8), 2u) << "positive height: bottom-up";
    EXPECT_EQ(u16(dib, 12), 1);
    EXPECT_EQ(u16(dib, 14), 24);
    EXPECT_EQ(u32(dib, 16), 0u);
    EXPECT_EQ(u32(dib, 20), 24u);
    EXPECT_EQ(u32(dib, 32), 0u);
    EXPECT_EQ(u32(dib, 36), 0u);
    const std::vector<uint8_t> rows(dib.begin() + 40, dib.end());
    EXPECT_EQ(rows, (std::vector<uint8_t>{11, 12, 13, 14, 15, 16, 17, 18, 19, 0, 0, 0, //
                                          1,  2,  3,  4,  5,  6,  7,  8,  9,  0, 0, 0}));
}

TEST(PackDib, EightBitFramesCarryAColourTableOf256Entries) {
    Frame f;
    f.kind = Frame::Kind::Pal8;
    f.width = 5;
    f.height = 2;
    f.pixels = {0, 1, 2, 3, 4, 250, 251, 252, 253, 255};
    f.palette.resize(256);
    for (uint32_t i = 0; i < 256; ++i)
        f.palette[i] = (i << 16) | ((255 - i) << 8) | (i / 2);
    const auto dib = packDib(f);
    ASSERT_EQ(dib.size(), 40u + 1024 + 2 * 8);
    EXPECT_EQ(u16(dib, 14), 8);
    EXPECT_EQ(u32(dib, 20), 16u);
    EXPECT_EQ(u32(dib, 32), 256u);
    for (int i : {0, 1, 128, 255}) {
        const size_t e = 40 + size_t(i) * 4;
        EXPECT_EQ(dib[e], i / 2) << "blue";
        EXPECT_EQ(dib[e + 1], 255 - i) << "green";
        EXPECT_EQ(dib[e + 2], i) << "red";
        EXPECT_EQ(dib[e + 3], 0);
    }
    const std::vector<uint8_t> rows(dib.begin() + 40 + 1024, dib.end());
    EXPECT_EQ(rows,
              (std::vector<uint8_t>{250, 251, 252, 253, 255, 0, 0, 0, 0, 1, 2, 3, 4, 0, 0, 0}));
}

TEST(PackDib, RefusesFramesThatDoNotHoldTheirPixels) {
    Frame f;
    f.width = 4;
    f.height = 4;
    f.pixels.resize(4 * 4 * 3 - 1);
    EXPECT_TRUE(packDib(f).empty());
    f.kind = Frame::Kind::Pal8;
    f.pixels.resize(16);
    f.palette.resize(16);
    EXPECT_TRUE(packDib(f).empty()) << "short palette";
    f.width = 0;
    EXPECT_TRUE(packDib(f).empty());
}

// Bitmaps of real frames (odd widths need padding) read back pixel for pixel.
TEST(PackDib, BitmapsOfDecodedFramesReadBackAsTheFrame) {
    TempFolder tmp;
    for (const char* kind : {"avi-bgr24", "avi-pal8"}) {
        auto movieRecipe = recipeFor(kind, 3);
        movieRecipe.width = 98; // 98 * 3 = 294 bytes, padded to 296; 98 indices padded to 100
        OpenStatus status;
        auto source = FrameSource::open(makeMovie(tmp, movieRecipe, kind), status);
        ASSERT_TRUE(source) << kind;
        Frame frame;
        std::vector<uint8_t> bgr;
        ASSERT_TRUE(source->read(2, frame));
        ASSERT_TRUE(source->readBgr(2, bgr));
        const auto dib = packDib(frame);
        ASSERT_FALSE(dib.empty());
        EXPECT_EQ(u32(dib, 20) / movieRecipe.height, movieRecipe.kind == "avi-pal8" ? 100u : 296u);
        for (int y = 0; y < movieRecipe.height; ++y)
            for (int x = 0; x < movieRecipe.width; ++x) {
                uint8_t px[3];
                pixelOf(dib, x, y, px);
                const size_t i = (size_t(y) * movieRecipe.width + x) * 3;
                ASSERT_TRUE(px[0] == bgr[i] && px[1] == bgr[i + 1] && px[2] == bgr[i + 2])
                    << kind << " at " << x << "," << y;
            }
    }
}
