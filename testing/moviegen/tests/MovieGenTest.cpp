#include "testing/moviegen/MovieGen.h"
#include "testing/support/TempFolder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

namespace fs = std::filesystem;
using namespace qxm::moviegen;
using qxm::testsupport::TempFolder;

namespace {

MovieRecipe smallRecipe(const std::string& kind = "avi-bgr24") {
    MovieRecipe s;
    s.kind = kind;
    s.frames = 12;
    return s;
}

} // namespace

TEST(Barcode, RoundTripsEveryNumberAndSize) {
    for (auto [w, h] : {std::pair{160, 120}, {72, 48}, {640, 480}, {330, 98}}) {
        MovieRecipe s = smallRecipe();
        s.width = w;
        s.height = h;
        std::vector<uint8_t> bgr;
        for (int n : {0, 1, 2, 7, 100, 255, 4096, 12345, kMaxFrames}) {
            renderFrame(s, n, bgr);
            EXPECT_EQ(readBarcode(bgr.data(), w, h, w * 3), n) << w << "x" << h;
        }
    }
}

TEST(Barcode, SurvivesNoiseAndPaddedRows) {
    MovieRecipe s = smallRecipe();
    std::vector<uint8_t> bgr;
    renderFrame(s, 1234, bgr);
    const int stride = s.width * 3 + 5;
    std::vector<uint8_t> padded(size_t(stride) * s.height, 0);
    std::mt19937 rng(3);
    std::uniform_int_distribution<int> noise(-50, 50);
    for (int y = 0; y < s.height; ++y)
        for (int x = 0; x < s.width * 3; ++x)
            padded[size_t(y) * stride + x] =
                uint8_t(std::clamp(bgr[size_t(y) * s.width * 3 + x] + noise(rng), 0, 255));
    EXPECT_EQ(readBarcode(padded.data(), s.width, s.height, stride), 1234);
}

TEST(Barcode, RefusesPicturesWithoutAValidCode) {
    MovieRecipe s = smallRecipe();
    std::vector<uint8_t> bgr;
    renderFrame(s, 77, bgr);
    const int cw = barcodeCellWidth(s.width), bh = barcodeHeight(s.height);
    auto paintCell = [&](std::vector<uint8_t> pic, int cell, uint8_t v) {
        for (int y = 0; y < bh; ++y)
            for (int x = cell * cw; x < (cell + 1) * cw; ++x)
                for (int c = 0; c < 3; ++c)
                    pic[(size_t(y) * s.width + x) * 3 + c] = v;
        return readBarcode(pic.data(), s.width, s.height, s.width * 3);
    };
    const uint8_t bit5 = bgr[(size_t(bh / 2) * s.width + 5 * cw + cw / 2) * 3];
    EXPECT_EQ(paintCell(bgr, 5, bit5), 77) << "unchanged";
    EXPECT_EQ(paintCell(bgr, 5, 255 - bit5), -1) << "one bit wrong: parity";
    EXPECT_EQ(paintCell(bgr, 0, 0), -1) << "start cell missing";
    EXPECT_EQ(paintCell(bgr, kBarcodeCells - 1, 255), -1) << "end cell missing";
    EXPECT_EQ(paintCell(bgr, 9, 140), 77) << "one gray cell is restored";
    EXPECT_EQ(paintCell(bgr, kBarcodeCells - 2, 110), 77) << "so is a gray parity cell";
    std::vector<uint8_t> twoGray = bgr;
    for (int y = 0; y < bh; ++y)
        for (int x = 3 * cw; x < 4 * cw; ++x)
            for (int c = 0; c < 3; ++c)
                twoGray[(size_t(y) * s.width + x) * 3 + c] = 128;
    EXPECT_EQ(paintCell(twoGray, 12, 128), -1) << "two gray cells are too many";
    EXPECT_EQ(paintCell(bgr, 0, 128), -1) << "gray start cell";
    std::vector<uint8_t> gray(bgr.size(), 128);
    EXPECT_EQ(readBarcode(gray.data(), s.width, s.height, s.width * 3), -1) << "gray";
    EXPECT_EQ(readBarcode(nullptr, s.width, s.height, s.width * 3), -1);
    EXPECT_EQ(readBarcode(gray.data(), s.width, s.height, s.width), -1) << "short stride";
}

TEST(Scene, ObjectIsDrawnWhereItsRectangleSaysAndTheTextureMovesWithIt) {
    MovieRecipe s = smallRecipe();
    std::vector<uint8_t> a, b;
    renderFrame(s, 3, a);
    renderFrame(s, 9, b);
    const Rect ra = objectRect(s, 3), rb = objectRect(s, 9);
    ASSERT_NE(ra, rb);
    for (int y = 0; y < ra.bottom - ra.top; ++y)
        for (int x = 0; x < ra.right - ra.left; ++x)
            for (int c = 0; c < 3; ++c)
                ASSERT_EQ(a[(size_t(ra.top + y) * s.width + ra.left + x) * 3 + c],
                          b[(size_t(rb.top + y) * s.width + rb.left + x) * 3 + c]);
    // The background stays put: a pixel away from both rectangles is unchanged.
    const size_t far = (size_t(s.height - 3) * s.width + 3) * 3;
    EXPECT_EQ(a[far], b[far]);
}

TEST(Scene, PathsMoveAtTheAskedSpeedPauseAndLeaveThePicture) {
    for (PathKind path : {PathKind::Straight, PathKind::Curved, PathKind::Pause}) {
        MovieRecipe s = smallRecipe();
        s.frames = 60;
        s.path = path;
        s.speed = 3;
        for (int n = 1; n < s.frames; ++n) {
            const Rect p = objectRect(s, n - 1), q = objectRect(s, n);
            EXPECT_LE(std::hypot(q.left - p.left, q.top - p.top), s.speed + 1.5)
                << pathName(path) << " frame " << n;
            EXPECT_EQ(visibleRect(s, n), q) << "stays inside the picture";
            EXPECT_GE(q.top, barcodeHeight(s.height)) << "stays below the barcode";
        }
    }
    MovieRecipe pause = smallRecipe();
    pause.frames = 60;
    pause.path = PathKind::Pause;
    EXPECT_EQ(objectRect(pause, 20), objectRect(pause, 29)) << "still from a third to a half";
    EXPECT_NE(objectRect(pause, 29), objectRect(pause, 30));
    EXPECT_NE(objectRect(pause, 19), objectRect(pause, 20));

    MovieRecipe leave = smallRecipe();
    leave.frames = 200;
    leave.path = PathKind::Leave;
    const Rect last = objectRect(leave, leave.frames - 1), seen = visibleRect(leave, 199);
    EXPECT_GT(last.right, leave.width);
    EXPECT_EQ(seen.right, leave.width);
    EXPECT_GT(seen.right - seen.left, 0);
    EXPECT_LT(seen.right - seen.left, last.right - last.left);
}

TEST(Scene, PalettisedKindsUseOnlyPaletteColours) {
    MovieRecipe s = smallRecipe("avi-pal8");
    std::vector<uint8_t> bgr;
    renderFrame(s, 5, bgr);
    const auto& colours = paletteColours();
    ASSERT_EQ(colours.size(), 256u);
    for (size_t i = 0; i < bgr.size(); i += 3) {
        const uint32_t c = colours[paletteIndex(bgr[i], bgr[i + 1], bgr[i + 2])];
        ASSERT_EQ(c, uint32_t(bgr[i]) | uint32_t(bgr[i + 1]) << 8 | uint32_t(bgr[i + 2]) << 16);
    }
    EXPECT_EQ(readBarcode(bgr.data(), s.width, s.height, s.width * 3), 5);
}

TEST(Recipe, ValidationNamesTheFault) {
    std::string why;
    EXPECT_TRUE(validate(smallRecipe(), why)) << why;
    auto bad = [&](auto change) {
        MovieRecipe s = smallRecipe();
        change(s);
        why.clear();
        return !validate(s, why) && !why.empty();
    };
    EXPECT_TRUE(bad([](MovieRecipe& s) { s.kind = "avi-divx"; }));
    EXPECT_TRUE(bad([](MovieRecipe& s) { s.width = 161; }));
    EXPECT_TRUE(bad([](MovieRecipe& s) { s.width = 64; }));
    EXPECT_TRUE(bad([](MovieRecipe& s) { s.height = 40; }));
    EXPECT_TRUE(bad([](MovieRecipe& s) { s.frames = 0; }));
    EXPECT_TRUE(bad([](MovieRecipe& s) { s.frames = kMaxFrames + 1; }));
    EXPECT_TRUE(bad([](MovieRecipe& s) { s.speed = -1; }));
    EXPECT_TRUE(bad([](MovieRecipe& s) { s.speed = std::nan(""); }));
    EXPECT_TRUE(bad([](MovieRecipe& s) { s.objectWidth = 100; }));
    EXPECT_TRUE(bad([](MovieRecipe& s) {
        s.kind = "mpg-mpeg2";
        s.fps = 23;
    }));
}

TEST(Files, TruthFileRoundTripsAndMalformedFilesAreRefused) {
    TempFolder tmp;
    MovieRecipe s = smallRecipe();
    s.path = PathKind::Leave;
    s.speed = 20;
    const std::string truth = (tmp.path / "m.truth").string();
    std::string why;
    ASSERT_TRUE(writeTruth(truth, s, why)) << why;
    std::vector<Rect> rects;
    ASSERT_TRUE(readTruth(truth, rects, why)) << why;
    ASSERT_EQ(rects.size(), size_t(s.frames));
    for (int n = 0; n < s.frames; ++n)
        EXPECT_EQ(rects[n], visibleRect(s, n));

    std::ofstream(truth) << "0 1 2 3 4\n2 1 2 3 4\n";
    EXPECT_FALSE(readTruth(truth, rects, why)) << "frame numbers must follow each other";
    std::ofstream(truth) << "0 1 2 3\n";
    EXPECT_FALSE(readTruth(truth, rects, why));
    EXPECT_FALSE(readTruth((tmp.path / "none").string(), rects, why));
}

TEST(Files, WriterFailsCleanlyAndRemovesWhatItStarted) {
    TempFolder tmp;
    std::string why;
    EXPECT_FALSE(writeMovie((tmp.path / "no/such/folder/m.avi").string(), smallRecipe(), why));
    EXPECT_FALSE(why.empty());
    MovieRecipe s = smallRecipe();
    s.width = 7;
    const fs::path out = tmp.path / "m.avi";
    EXPECT_FALSE(writeMovie(out.string(), s, why));
    EXPECT_FALSE(fs::exists(out));
}
