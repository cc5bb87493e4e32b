#include "player_control/anchors/AnchorGeometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace qxm;

namespace {

constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();

TEST(AnchorGeometry, ScaleFactors) {
    const ScaleFactors none = anchorScaleFactors({320, 240}, std::nullopt);
    EXPECT_EQ(none.sx, 1.0);
    EXPECT_EQ(none.sy, 1.0);
    const ScaleFactors half = anchorScaleFactors({320, 240}, PixelSize{640, 960});
    EXPECT_EQ(half.sx, 0.5);
    EXPECT_EQ(half.sy, 0.25);
    // A window or picture without size keeps that axis at 1.0 instead of 0 or infinity.
    const ScaleFactors zero = anchorScaleFactors({0, 240}, PixelSize{640, 0});
    EXPECT_EQ(zero.sx, 1.0);
    EXPECT_EQ(zero.sy, 1.0);
}

TEST(AnchorGeometry, WindowPointToPictureTruncates) {
    const ScaleFactors f = anchorScaleFactors({100, 100}, PixelSize{300, 40});
    EXPECT_EQ(windowToPicture({2, 3}, f).x, 0); // 0.67
    EXPECT_EQ(windowToPicture({299, 3}, f).x, 99);
    EXPECT_EQ(windowToPicture({2, 3}, f).y, 7);   // 7.5
    EXPECT_EQ(windowToPicture({-2, -3}, f).x, 0); // toward zero, not down
    EXPECT_EQ(windowToPicture({-5, -3}, f).y, -7);
}

TEST(AnchorGeometry, PictureRectToWindowDividesAndTruncates) {
    const ScaleFactors f = anchorScaleFactors({320, 240}, PixelSize{640, 120});
    EXPECT_EQ(pictureToWindow({10, 10, 21, 21}, f), (AnchorRect{20, 5, 42, 10}));
    EXPECT_EQ(pictureToWindow({-3, -3, 3, 3}, f), (AnchorRect{-6, -1, 6, 1}));
    const ScaleFactors one = anchorScaleFactors({320, 240}, std::nullopt);
    EXPECT_EQ(pictureToWindow({kMin, 1, kMax, 2}, one), (AnchorRect{kMin, 1, kMax, 2}));
    // Huge values on a shrunk picture saturate instead of overflowing.
    const ScaleFactors tiny = anchorScaleFactors({1, 1}, PixelSize{1000, 1000});
    EXPECT_EQ(pictureToWindow({kMax, kMin, 0, 0}, tiny), (AnchorRect{kMax, kMin, 0, 0}));
}

TEST(AnchorGeometry, AnchorFrameOfTheMoment) {
    EXPECT_EQ(anchorFrameAt(10.9, 0), 10);
    EXPECT_EQ(anchorFrameAt(100.7, 30), 70);
    EXPECT_EQ(anchorFrameAt(-0.9, 0), 0);
    EXPECT_EQ(anchorFrameAt(5.0, 10), -5);
    EXPECT_EQ(anchorFrameAt(std::nan(""), 3), -3);
    EXPECT_EQ(anchorFrameAt(1e12, 0), kMax);
    EXPECT_EQ(anchorFrameAt(-1e12, 1), kMax); // kMin - 1 wraps as 32-bit arithmetic does
}

TEST(AnchorGeometry, InterpolationMultipliesFirst) {
    EXPECT_EQ(interpolateAnchorValue(0, 10, 11, 10, 13), 3);
    EXPECT_EQ(interpolateAnchorValue(0, 10, 12, 10, 13), 6);
    EXPECT_EQ(interpolateAnchorValue(0, -10, 11, 10, 13), -3);
    EXPECT_EQ(interpolateAnchorValue(7, 7, 5, 0, 100), 7);
    EXPECT_EQ(interpolateAnchorValue(100, 0, 1, 0, 3), 67); // 100 + (-100 / 3)
    // 65536 * 65536 wraps to 0 in 32 bits: the wrapped result, without undefined behaviour.
    EXPECT_EQ(interpolateAnchorValue(0, 65536, 65536, 0, 131072), 0);
    EXPECT_EQ(interpolateAnchorValue(kMax, kMin, 1, 0, 1), kMin);
}

} // namespace
