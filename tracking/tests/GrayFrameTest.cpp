#include "tracking/GrayFrame.h"
#include "tests/TestFrames.h"
#include "tracking/Codes.h"
#include "tracking/MovieFrames.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace qxm::track;
using namespace qxm::track::test;

namespace {

const GrayWeights kDefault(0.299, 0.587, 0.114);

std::vector<uint8_t> grayOf(const std::vector<uint8_t>& dib, int w, int h, int32_t& code,
                            const GrayWeights& wts = kDefault) {
    std::vector<uint8_t> out(std::size_t(w) * h, 0xEE);
    code = readGrayDib(dib.data(), dib.size(), w, h, wts, out.data());
    return out;
}

// Every colour through the tables against the formula evaluated directly.
void expectTablesExact(double r, double g, double b) {
    const GrayWeights w(r, g, b);
    int mismatches = 0;
    for (int R = 0; R < 256; ++R)
        for (int G = 0; G < 256; ++G)
            for (int B = 0; B < 256; ++B)
                if (w.gray(uint8_t(R), uint8_t(G), uint8_t(B)) !=
                    GrayWeights::direct(r, g, b, uint8_t(R), uint8_t(G), uint8_t(B)))
                    ++mismatches;
    EXPECT_EQ(mismatches, 0) << r << " " << g << " " << b;
}

} // namespace

TEST(GrayWeights, TablesReproduceTheFormulaForEveryColour) {
    expectTablesExact(0.299, 0.587, 0.114);
    expectTablesExact(1.0 / 3, 1.0 / 3, 1.0 / 3);
    expectTablesExact(-0.7, 1.9, 0.3);     // negative sums keep their low 8 bits
    expectTablesExact(3e9, 1e-3, -2e10);   // beyond 32 bits
    expectTablesExact(4e16, 3e17, 1e-9);   // beyond 64 bits: the low 8 bits are 0
    expectTablesExact(1e308, 0.5, -1e308); // products overflow to infinities and NaN
}

TEST(GrayWeights, TruncationAndLowBits) {
    EXPECT_EQ(kDefault.gray(255, 0, 0), 76); // trunc(76.245)
    EXPECT_EQ(kDefault.gray(255, 255, 255), 255);
    EXPECT_EQ(kDefault.gray(0, 0, 255), 29);
    EXPECT_EQ(GrayWeights::wrap(300.9), 44);
    EXPECT_EQ(GrayWeights::wrap(-1.5), 255); // trunc gives -1
    EXPECT_EQ(GrayWeights::wrap(-0.5), 0);
    EXPECT_EQ(GrayWeights::wrap(std::nan("")), 0);
    EXPECT_EQ(GrayWeights::wrap(1e300), 0);
    EXPECT_EQ(GrayWeights::wrap(4294967296.0 + 513), 1);
    // The sum is formed red, blue, green: (0.1 + 0.2) + 0.3 differs from 0.1 + (0.2 + 0.3).
    const GrayWeights w(0.1, 0.3 * 10 - 2.7, 0.2);
    EXPECT_EQ(w.gray(10, 10, 10), GrayWeights::direct(0.1, 0.3 * 10 - 2.7, 0.2, 10, 10, 10));
}

TEST(DibParser, TrueColourRowsAreBottomUp) {
    // 5 x 3: odd width, so each stored row carries padding.
    auto dib = makeDib({5, 3, 24, 0, 0, 3, false}, [](int x, int y, uint8_t* p) {
        p[0] = 0;                         // blue
        p[1] = 0;                         // green
        p[2] = uint8_t(10 * x + 100 * y); // red
    });
    int32_t code = 1;
    auto g = grayOf(dib, 5, 3, code);
    ASSERT_EQ(code, 0);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(g[y * 5 + x], uint8_t((10 * x + 100 * y) * 0.299)) << x << "," << y;
}

TEST(DibParser, PureRedGives76) {
    auto dib = makeDib({4, 2, 24, 0, 0, 3, false}, [](int, int, uint8_t* p) {
        p[0] = 0;
        p[1] = 0;
        p[2] = 255;
    });
    int32_t code = 1;
    auto g = grayOf(dib, 4, 2, code);
    ASSERT_EQ(code, 0);
    for (uint8_t v : g)
        EXPECT_EQ(v, 76);
}

TEST(DibParser, PaletteOf256Colours) {
    std::vector<uint32_t> table(256);
    for (int i = 0; i < 256; ++i)
        table[i] = uint32_t(255 - i) << 16 | uint32_t(i) << 8; // B=0
    table[7] = 0x00FF0000;                                     // red
    auto dib = makeDib(
        {3, 2, 8, 256, 256, 1, false},
        [](int x, int y, uint8_t* p) { *p = uint8_t(x == 0 && y == 0 ? 7 : x + 3 * y); }, table);
    int32_t code = 1;
    auto g = grayOf(dib, 3, 2, code);
    ASSERT_EQ(code, 0);
    EXPECT_EQ(g[0], 76);
    for (int i = 1; i < 6; ++i)
        EXPECT_EQ(g[i], kDefault.gray(uint8_t(255 - i), uint8_t(i), 0));
    // Colours used 0 with 8 bits also means 256 colours.
    auto implicitCount = makeDib(
        {3, 2, 8, 0, 256, 1, false}, [](int, int, uint8_t* p) { *p = 7; }, table);
    g = grayOf(implicitCount, 3, 2, code);
    ASSERT_EQ(code, 0);
    EXPECT_EQ(g[5], 76);
}

TEST(DibParser, SixteenAndThirtyTwoBitsReadAsThreeBytes) {
    // Colour count 0: every pixel read as 3 bytes, the row length still from the image size.
    // The 16-bit bitmap's rows are laid out 3 bytes a pixel, so that reading them so stays
    // inside the bitmap.
    for (uint16_t bits : {uint16_t(16), uint16_t(32)}) {
        const uint32_t bpp = bits == 16 ? 3 : 4;
        auto dib = makeDib({4, 2, bits, 0, 0, bpp, false}, [&](int x, int y, uint8_t* p) {
            for (uint32_t k = 0; k < bpp; ++k)
                p[k] = uint8_t(x * 16 + y * 64 + k);
        });
        int32_t code = 1;
        auto g = grayOf(dib, 4, 2, code);
        ASSERT_EQ(code, 0) << bits;
        const uint32_t row = (4 * bpp + 3) / 4 * 4;
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 4; ++x) {
                const uint8_t* p = dib.data() + 40 + row * (1 - y) + 3 * x;
                EXPECT_EQ(g[y * 4 + x], kDefault.gray(p[2], p[1], p[0])) << bits;
            }
    }
}

TEST(DibParser, RefusedBitmaps) {
    int32_t code = 0;
    // 16 bits packed 2 bytes a pixel: 3-byte reads of the last stored row would leave the
    // bitmap.
    auto packed16 = makeDib({4, 2, 16, 0, 0, 2, false}, [](int, int, uint8_t* p) { p[0] = 1; });
    grayOf(packed16, 4, 2, code);
    EXPECT_EQ(code, kFrameFormat);
    // 4 bits: 16 colours.
    auto four = makeDib({4, 2, 4, 0, 16, 1, false}, [](int, int, uint8_t* p) { *p = 0; });
    grayOf(four, 4, 2, code);
    EXPECT_EQ(code, kFrameFormat);
    // 1 bit and a colours-used field of 16 with 8 bits.
    auto one = makeDib({4, 2, 1, 0, 2, 1, false}, [](int, int, uint8_t* p) { *p = 0; });
    grayOf(one, 4, 2, code);
    EXPECT_EQ(code, kFrameFormat);
    auto sixteen = makeDib({4, 2, 8, 16, 16, 1, false}, [](int, int, uint8_t* p) { *p = 0; });
    grayOf(sixteen, 4, 2, code);
    EXPECT_EQ(code, kFrameFormat);
    // Another size than the movie's, checked before the format.
    grayOf(four, 5, 2, code);
    EXPECT_EQ(code, kFrameSize);
    auto ok = makeDib({4, 2, 24, 0, 0, 3, false}, [](int, int, uint8_t* p) { p[0] = 1; });
    grayOf(ok, 4, 3, code);
    EXPECT_EQ(code, kFrameSize);
    // Nothing to parse.
    std::vector<uint8_t> g(8);
    EXPECT_EQ(readGrayDib(nullptr, 0, 4, 2, kDefault, g.data()), kFrameFetch);
    EXPECT_EQ(readGrayDib(ok.data(), 39, 4, 2, kDefault, g.data()), kFrameFetch);
    // Truncated rows are refused rather than read past the end.
    std::vector<uint8_t> shortDib(ok.begin(), ok.end() - 1);
    EXPECT_EQ(readGrayDib(shortDib.data(), shortDib.size(), 4, 2, kDefault, g.data()),
              kFrameFormat);
    auto pal = makeDib({4, 2, 8, 256, 256, 1, false}, [](int, int, uint8_t* p) { *p = 0; });
    std::vector<uint8_t> noTable(pal.begin(), pal.begin() + 40 + 100);
    EXPECT_EQ(readGrayDib(noTable.data(), noTable.size(), 4, 2, kDefault, g.data()), kFrameFormat);
}

TEST(DibParser, MissingImageSizeUsesThePaddedRowLength) {
    auto dib = makeDib({5, 3, 24, 0, 0, 3, true},
                       [](int x, int y, uint8_t* p) { p[0] = p[1] = p[2] = uint8_t(x + 10 * y); });
    int32_t code = 1;
    auto g = grayOf(dib, 5, 3, code);
    ASSERT_EQ(code, 0);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(g[y * 5 + x], kDefault.gray(x + 10 * y, x + 10 * y, x + 10 * y));
}

TEST(MovieKind, LoweredPathAndPosition) {
    EXPECT_EQ(movieKind("/movies/CLIP.AVI"), MovieKind::Avi);
    EXPECT_EQ(movieKind("clip.mov"), MovieKind::Mov);
    EXPECT_EQ(movieKind("clip.MOV.avi"), MovieKind::Avi); // AVI is tested first
    EXPECT_EQ(movieKind("clip.mpg"), MovieKind::Other);
    EXPECT_EQ(movieKind(".avi"), MovieKind::Other);  // position 0
    EXPECT_EQ(movieKind("x.avi"), MovieKind::Other); // position 1
    EXPECT_EQ(movieKind("xy.avi"), MovieKind::Avi);  // position 2
    EXPECT_EQ(movieKind("a.mov"), MovieKind::Other);
    EXPECT_EQ(movieKind("/a.avi"), MovieKind::Avi);
    EXPECT_EQ(movieKind(""), MovieKind::Other);
}

TEST(GrayReader, FetchFailureAndWeights) {
    Scene scene(32, 24, 3, [](int) { return Rect{4, 4, 12, 12}; });
    scene.failAt[1] = true;
    GrayReader reader(scene, 32, 24, kDefault);
    std::vector<uint8_t> g(32 * 24);
    EXPECT_EQ(reader.read(0, g.data()), 0);
    EXPECT_EQ(g[0], kDefault.gray(texture(1, 0, 0), texture(1, 0, 0), texture(1, 0, 0)));
    EXPECT_EQ(reader.read(1, g.data()), kFrameFetch);
    EXPECT_EQ(reader.read(5, g.data()), kFrameFetch);
    reader.setWeights(GrayWeights(0, 0, 0));
    EXPECT_EQ(reader.read(2, g.data()), 0);
    EXPECT_EQ(g[100], 0);
    GrayReader wrongSize(scene, 30, 24, kDefault);
    EXPECT_EQ(wrongSize.read(0, g.data()), kFrameSize);
}
