#include "player_control/cursors/CursorFile.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <random>

#include "CursorTestFiles.h"
#include "player_control/cursors/BuiltinCursor.h"

using namespace qxm::cursors;
using namespace qxm::cursors::testfiles;

namespace {

using Rgba = std::array<std::uint8_t, 4>;

Rgba px(const CursorImage& img, int x, int y) {
    const std::uint8_t* p = img.rgba.data() + (static_cast<std::size_t>(y) * img.width + x) * 4;
    return {p[0], p[1], p[2], p[3]};
}

CursorImage readOne(const Buf& file) {
    std::vector<CursorImage> images;
    EXPECT_EQ(readCursorImages(file, images), CursorError::None);
    EXPECT_EQ(images.size(), 1u);
    return images.empty() ? CursorImage{} : images[0];
}

constexpr Rgba kClear{0, 0, 0, 0};
constexpr Rgba kBlack{0, 0, 0, 255};
constexpr Rgba kWhite{255, 255, 255, 255};

TEST(CursorBitmap, OneBitWithMask) {
    // Column 0 black, column 1 white; the mask is set on row 1.
    const CursorImage img = readOne(
        directory({{dib(
                        2, 2, 1, {0x000000, 0xFFFFFF}, [](int x, int) { return x == 1 ? 1u : 0u; },
                        [](int, int y) { return y == 1; }),
                    1, 1}}));
    ASSERT_EQ(img.width, 2);
    ASSERT_EQ(img.height, 2);
    EXPECT_EQ(img.bitCount, 1);
    EXPECT_EQ(img.hotspotX, 1);
    EXPECT_EQ(img.hotspotY, 1);
    EXPECT_EQ(px(img, 0, 0), kBlack);
    EXPECT_EQ(px(img, 1, 0), kWhite);
    EXPECT_EQ(px(img, 0, 1), kClear); // mask over black: transparent
    EXPECT_EQ(px(img, 1, 1), kBlack); // mask over a colour (inverting): opaque black
}

TEST(CursorBitmap, FourBitOddWidthRowsFromTheTop) {
    std::vector<std::uint32_t> palette(16);
    for (std::uint32_t i = 0; i < 16; ++i)
        palette[i] = i * 0x101010;
    const CursorImage img = readOne(directory({{dib(
        3, 2, 4, palette, [](int x, int y) { return static_cast<std::uint32_t>(y * 3 + x); },
        [](int, int) { return false; })}}));
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) {
            const auto v = static_cast<std::uint8_t>((y * 3 + x) * 0x10);
            EXPECT_EQ(px(img, x, y), (Rgba{v, v, v, 255})) << x << "," << y;
        }
}

TEST(CursorBitmap, EightBitShortPaletteAndIndexBeyondIt) {
    const CursorImage img = readOne(directory({{dib(
        2, 1, 8, {0xFF0000, 0x00FF00, 0x0000FF}, [](int x, int) { return x == 0 ? 2u : 200u; },
        [](int, int) { return false; }, 3)}}));
    EXPECT_EQ(px(img, 0, 0), (Rgba{0, 0, 255, 255}));
    EXPECT_EQ(px(img, 1, 0), kBlack);
}

TEST(CursorBitmap, TableBeforeDeepPixelsIsSteppedOver) {
    const CursorImage img = readOne(directory({{dib(
        1, 1, 24, {0x111111, 0x222222}, [](int, int) { return 0xABCDEFu; },
        [](int, int) { return false; }, 2)}}));
    EXPECT_EQ(px(img, 0, 0), (Rgba{0xAB, 0xCD, 0xEF, 255}));
}

TEST(CursorBitmap, TwentyFourBitPaddedRows) {
    const CursorImage img = readOne(directory({{dib(
        5, 2, 24, {},
        [](int x, int y) { return 0x102030u + static_cast<std::uint32_t>(x + 16 * y); },
        [](int x, int) { return x == 4; })}}));
    EXPECT_EQ(px(img, 0, 0), (Rgba{0x10, 0x20, 0x30, 255}));
    EXPECT_EQ(px(img, 3, 1), (Rgba{0x10, 0x20, 0x30 + 19, 255}));
    EXPECT_EQ(px(img, 4, 1), kBlack); // masked over colour
}

TEST(CursorBitmap, ThirtyTwoBitAlphaOrMask) {
    // With alpha present the mask does not matter.
    CursorImage img = readOne(directory({{dib(
        2, 1, 32, {}, [](int x, int) { return x == 0 ? 0x80112233u : 0x00445566u; },
        [](int, int) { return true; })}}));
    EXPECT_EQ(px(img, 0, 0), (Rgba{0x11, 0x22, 0x33, 0x80}));
    EXPECT_EQ(px(img, 1, 0), (Rgba{0x44, 0x55, 0x66, 0}));
    // All alpha zero: the mask gives it.
    img = readOne(directory({{dib(
        2, 1, 32, {}, [](int, int) { return 0x00000000u; }, [](int x, int) { return x == 1; })}}));
    EXPECT_EQ(px(img, 0, 0), kBlack);
    EXPECT_EQ(px(img, 1, 0), kClear);
    // A 32-bit image may come without its mask.
    img = readOne(directory({{dib(
        2, 1, 32, {}, [](int, int) { return 0xFF010203u; }, [](int, int) { return false; }, 0,
        false)}}));
    EXPECT_EQ(px(img, 1, 0), (Rgba{1, 2, 3, 255}));
}

TEST(CursorImages, PngEntryIsHandedOver) {
    Buf png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0,  0, 0, 13, 'I', 'H', 'D',
               'R',  0,   0,   0,   48,   0,    0,    0,    40, 8, 6, 0,  0,   0};
    std::vector<CursorImage> images;
    ASSERT_EQ(readCursorImages(directory({{png, 7, 9}}), images), CursorError::None);
    ASSERT_EQ(images.size(), 1u);
    EXPECT_TRUE(images[0].isPng());
    EXPECT_TRUE(images[0].rgba.empty());
    EXPECT_EQ(images[0].png, png);
    EXPECT_EQ(images[0].width, 48);
    EXPECT_EQ(images[0].height, 40);
    EXPECT_EQ(images[0].hotspotX, 7);
    png[19] = 0; // width 0
    EXPECT_EQ(readCursorImages(directory({{png}}), images), CursorError::Format);
}

TEST(CursorImages, HotspotsAndIcons) {
    EXPECT_EQ(readOne(solidCursor(8, 0xFFFFFF, 100, 3)).hotspotX, 7); // kept inside
    const CursorImage icon = readOne(directory(
        {{dib(
              8, 6, 1, {0, 0xFFFFFF}, [](int, int) { return 1u; }, [](int, int) { return false; }),
          1, 1}},
        1));
    EXPECT_EQ(icon.hotspotX, 4);
    EXPECT_EQ(icon.hotspotY, 3);
}

TEST(CursorImages, PickPrefersTheNominalSizeThenDepth) {
    auto solid = [](int size, int bits) {
        return Entry{dib(
            size, size, bits,
            bits <= 8 ? std::vector<std::uint32_t>(2) : std::vector<std::uint32_t>{},
            [](int, int) { return 0u; }, [](int, int) { return false; })};
    };
    std::vector<CursorImage> images;
    ASSERT_EQ(readCursorImages(
                  directory({solid(16, 1), solid(32, 1), solid(32, 24), solid(48, 32)}), images),
              CursorError::None);
    EXPECT_EQ(pickCursorImage(images), 2u);
    EXPECT_EQ(pickCursorImage(images, 64), 3u);
    CursorData data;
    ASSERT_EQ(readCursor(directory({solid(16, 1), solid(32, 24)}), data), CursorError::None);
    ASSERT_EQ(data.frames.size(), 1u);
    EXPECT_EQ(data.frames[0].width, 32);
    EXPECT_FALSE(data.animated);
    ASSERT_EQ(data.steps.size(), 1u);
    // A damaged entry beside a good one does not spoil the file.
    Buf broken = solid(16, 1).data;
    broken[14] = 16; // 16 bits per pixel
    ASSERT_EQ(readCursorImages(directory({{broken}, solid(32, 1)}), images), CursorError::None);
    EXPECT_EQ(images.size(), 1u);
}

TEST(CursorImages, MalformedFiles) {
    const Buf good = solidCursor(4, 0xFFFFFF);
    auto patched = [&](std::size_t at, std::uint8_t v) {
        Buf b = good;
        b[at] = v;
        return b;
    };
    struct Case {
        const char* what;
        Buf bytes;
        CursorError want;
    };
    const std::size_t dibAt = 22;
    const std::vector<Case> cases = {
        {"empty", {}, CursorError::Format},
        {"reserved", patched(0, 1), CursorError::Format},
        {"type 3", patched(2, 3), CursorError::Format},
        {"no entries", patched(4, 0), CursorError::Format},
        {"too many entries", patched(4, 200), CursorError::TooLarge},
        {"directory cut", Buf(good.begin(), good.begin() + 15), CursorError::Format},
        {"offset past the end", patched(21, 0x7F), CursorError::Format},
        {"offset into the directory", patched(18, 2), CursorError::Format},
        {"header size 12", patched(dibAt, 12), CursorError::Format},
        {"header size huge", patched(dibAt + 3, 0x70), CursorError::Format},
        {"width 0", patched(dibAt + 4, 0), CursorError::Format},
        {"width negative", patched(dibAt + 7, 0xFF), CursorError::Format},
        {"width 260", patched(dibAt + 5, 1), CursorError::TooLarge},
        {"height 1", patched(dibAt + 8, 1), CursorError::Format},
        {"compressed", patched(dibAt + 16, 1), CursorError::Unsupported},
        {"16 bits", patched(dibAt + 14, 16), CursorError::Unsupported},
        {"palette too long", patched(dibAt + 32, 3), CursorError::Format},
        {"pixels cut", Buf(good.begin(), good.end() - 17), CursorError::Format},
        {"mask cut", Buf(good.begin(), good.end() - 1), CursorError::Format},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<CursorImage> images(1);
        EXPECT_EQ(readCursorImages(c.bytes, images), c.want);
        EXPECT_TRUE(images.empty());
        CursorData data;
        EXPECT_EQ(readCursor(c.bytes, data), c.want);
        EXPECT_TRUE(data.frames.empty());
    }
}

TEST(CursorFiles, LoadFromDisk) {
    const auto dir = std::filesystem::temp_directory_path() /
                     ("qxm-cursors-" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(dir);
    const Buf bytes = solidCursor(16, 0x00FF00, 2, 3);
    std::ofstream(dir / "a.cur", std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    CursorData data;
    EXPECT_EQ(loadCursorFile((dir / "a.cur").string(), data), CursorError::None);
    ASSERT_EQ(data.frames.size(), 1u);
    EXPECT_EQ(px(data.frames[0], 0, 0), (Rgba{0, 255, 0, 255}));
    EXPECT_EQ(loadCursorFile((dir / "missing.cur").string(), data), CursorError::Open);
    EXPECT_TRUE(data.frames.empty());
    EXPECT_EQ(loadCursorFile(dir.string(), data), CursorError::Open);
    {
        std::ofstream(dir / "big.cur", std::ios::binary) << "x";
        std::filesystem::resize_file(dir / "big.cur", kMaxCursorFileBytes + 1);
    }
    EXPECT_EQ(loadCursorFile((dir / "big.cur").string(), data), CursorError::TooLarge);
    std::filesystem::remove_all(dir);
}

TEST(BuiltinCursor, PointingHand) {
    const CursorData data = builtinAnchorCursor();
    ASSERT_EQ(data.frames.size(), 1u);
    const CursorImage& hand = data.frames[0];
    EXPECT_EQ(hand.width, 32);
    EXPECT_EQ(hand.height, 32);
    EXPECT_EQ(hand.hotspotX, 5);
    EXPECT_EQ(hand.hotspotY, 0);
    EXPECT_EQ(px(hand, 5, 0), kBlack);
    EXPECT_EQ(px(hand, 5, 1), kWhite);
    EXPECT_EQ(px(hand, 0, 0), kClear);
    EXPECT_EQ(px(hand, 31, 31), kClear);
    int opaque = 0;
    for (std::size_t i = 3; i < hand.rgba.size(); i += 4)
        opaque += hand.rgba[i] == 255;
    EXPECT_GT(opaque, 150);
    EXPECT_LT(opaque, 400);
}

TEST(CursorFiles, WriterRoundTrip) {
    CursorImage img;
    img.width = 3;
    img.height = 2;
    img.hotspotX = 2;
    img.hotspotY = 1;
    img.rgba = {1, 2, 3, 255, 4, 5, 6, 0, 7, 8, 9, 128, 10, 11, 12, 255, 0, 0, 0, 0, 13, 14, 15, 1};
    const CursorImage back = readOne(writeCursorFile(img));
    EXPECT_EQ(back.rgba, img.rgba);
    EXPECT_EQ(back.hotspotX, 2);
    EXPECT_EQ(back.hotspotY, 1);
}

} // namespace
