#include "player_control/control/ControlLogic.h"

#include <gtest/gtest.h>

using namespace qxm::qxmovie;

TEST(ResolveMoviePath, AgainstAPageInADirectoryOfAServer) {
    const std::optional<std::string> page = "http://example.org/media/show/page.html";
    EXPECT_EQ(resolveMoviePath("clip.avi", page), "http://example.org/media/show/clip.avi");
    EXPECT_EQ(resolveMoviePath("/clip.avi", page), "http://example.org/media/show/clip.avi");
    EXPECT_EQ(resolveMoviePath("\\clip.avi", page), "http://example.org/media/show\\clip.avi");
    EXPECT_EQ(resolveMoviePath("sub/clip.avi", page), "http://example.org/media/show/sub/clip.avi");
    EXPECT_EQ(resolveMoviePath("D:\\media\\clip.avi", page), "D:\\media\\clip.avi");
    EXPECT_EQ(resolveMoviePath("file:///tmp/clip.avi", page), "file:///tmp/clip.avi");
    EXPECT_EQ(resolveMoviePath("\\\\server\\share\\clip.avi", page),
              "file://\\\\server\\share\\clip.avi");
}

TEST(ResolveMoviePath, WithoutABaseThePathStays) {
    EXPECT_EQ(resolveMoviePath("clip.avi", std::nullopt), "clip.avi");
    EXPECT_EQ(resolveMoviePath("\\\\server\\clip.avi", std::nullopt), "\\\\server\\clip.avi");
    EXPECT_EQ(resolveMoviePath("clip.avi", std::string("page-without-slash")), "clip.avi");
    // A location that ends in its only "/" at the start leaves an empty base too.
    EXPECT_EQ(resolveMoviePath("clip.avi", std::string("/page.html")), "clip.avi");
    EXPECT_EQ(pageBase(std::string("file:///home/u/page.html")), "file:///home/u");
}

TEST(LayoutInUserMode, PanelAtTheBottomAndPictureKeepingItsAspect) {
    LayoutInput in{324, 275, 40, true, 160, 120};
    const LayoutResult out = layoutInUserMode(in);
    ASSERT_TRUE(out.console && out.renderer);
    EXPECT_EQ(*out.console, (LayoutRect{0, 235, 324, 40}));
    // w = 320, a = 227, r = 4/3 < 320/227: height a, width trunc(4/3 * 227) = 302.
    EXPECT_EQ(*out.renderer, (LayoutRect{(320 - 302 + 4) / 2, (227 - 227 + 2) / 2, 302, 227}));
    EXPECT_EQ(out.engine, (LayoutRect{0, 0, 324, 275}));

    in = {400, 148, 40, true, 160, 120}; // wide: w = 396, a = 100, r < w/a? 1.33 < 3.96
    EXPECT_EQ(*layoutInUserMode(in).renderer, (LayoutRect{(396 - 133 + 4) / 2, 1, 133, 100}));
    in = {200, 300, 40, true, 160, 100}; // tall: r = 1.6 >= 196/252, height trunc(122.5)
    EXPECT_EQ(*layoutInUserMode(in).renderer, (LayoutRect{2, (252 - 122 + 2) / 2, 196, 122}));
}

TEST(LayoutInUserMode, WithoutPanelHeightThePictureFillsTheArea) {
    LayoutInput in{324, 275, 0, true, 160, 120};
    LayoutResult out = layoutInUserMode(in);
    EXPECT_EQ(*out.renderer, (LayoutRect{2, 1, 320, 267}));
    in.consoleHeight.reset();
    out = layoutInUserMode(in);
    EXPECT_FALSE(out.console);
    EXPECT_EQ(*out.renderer, (LayoutRect{2, 1, 320, 267}));
    in.hasRenderer = false;
    EXPECT_FALSE(layoutInUserMode(in).renderer);
}

TEST(StateEvents, FinishAtTheEndOrTheSelectionEndOtherwiseStop) {
    EXPECT_EQ(stateEventFor(2, {}), StateEvent::MovieStart);
    EXPECT_EQ(stateEventFor(1, {}), StateEvent::MovieStop);
    EXPECT_EQ(stateEventFor(0, {false, 50, 30, -1}), StateEvent::None);
    EXPECT_EQ(stateEventFor(-1, {true, 0, 30, -1}), StateEvent::None);
    EXPECT_EQ(stateEventFor(0, {true, 30, 30, -1}), StateEvent::MovieFinish);
    EXPECT_EQ(stateEventFor(0, {true, 29, 30, -1}), StateEvent::MovieStop);
    EXPECT_EQ(stateEventFor(0, {true, 29, 30, 29}), StateEvent::MovieFinish);
    EXPECT_EQ(stateEventFor(0, {true, 20, 30, 21}), StateEvent::MovieStop);
}

TEST(ClampToSelection, IntoTheSelectionWithoutAnUpperBoundBeforeOne) {
    EXPECT_EQ(clampToSelection(3, 5, 20), 5);
    EXPECT_EQ(clampToSelection(25, 5, 20), 20);
    EXPECT_EQ(clampToSelection(10, 5, 20), 10);
    EXPECT_EQ(clampToSelection(10, 0, -1), 10);
}
