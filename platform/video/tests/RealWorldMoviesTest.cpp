// Movies as cameras and capture tools leave them: AVI files whose capture dropped frames, and
// program streams joined from parts of different picture sizes.
#include "platform/video/FrameSource.h"

#include "VideoTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <mutex>
#include <numeric>
#include <random>

using namespace qxm::video;
using namespace qxm::video::testing;
namespace moviegen = qxm::moviegen;

namespace {

int barcodeOf(FrameSource& source, int32_t n) {
    std::vector<uint8_t> bgr;
    if (!source.readBgr(n, bgr)) return -2;
    const MovieInfo& i = source.info();
    return moviegen::readBarcode(bgr.data(), i.width, i.height, i.width * 3);
}

} // namespace

// Frame n shows the last real picture at or before n, in any reading order; a file cut short
// stays an error.
TEST(RealWorldMovies, DroppedFramesShowThePictureBefore) {
    PrivateCache cache;
    TempFolder tmp;
    const std::vector<int> dropped = {1, 2, 3, 10, 11, 25, 38};
    for (const char* kind : {"avi-bgr24", "avi-pal8", "avi-mjpeg"}) {
        SCOPED_TRACE(kind);
        moviegen::MovieRecipe recipe = recipeFor(kind, 40);
        recipe.dropped = dropped;
        const std::string path = makeMovie(tmp, recipe, std::string("dropped-") + kind);
        OpenStatus status{};
        std::string why;
        auto source = FrameSource::open(path, status, &why);
        ASSERT_TRUE(source) << why;
        ASSERT_EQ(source->info().frameCount, 40);

        std::vector<int> sequential(40);
        for (int n = 0, shown = 0; n < 40; ++n) {
            if (!std::binary_search(dropped.begin(), dropped.end(), n)) shown = n;
            sequential[n] = barcodeOf(*source, n);
            EXPECT_EQ(sequential[n], shown) << "frame " << n;
        }
        auto again = FrameSource::open(path, status, &why);
        ASSERT_TRUE(again) << why;
        std::vector<int32_t> order(40);
        std::iota(order.begin(), order.end(), 0);
        std::shuffle(order.begin(), order.end(), std::mt19937(7));
        for (int32_t n : order)
            EXPECT_EQ(barcodeOf(*again, n), sequential[n]) << "frame " << n;
        std::vector<uint8_t> past;
        EXPECT_FALSE(again->readBgr(40, past));
    }

    // Cut short: the entries past the end point nowhere.
    moviegen::MovieRecipe recipe = recipeFor("avi-bgr24", 40);
    recipe.dropped = dropped;
    const std::string whole = makeMovie(tmp, recipe, "whole");
    std::ifstream in(whole, std::ios::binary);
    std::string bytes{std::istreambuf_iterator<char>(in), {}};
    const std::string cut = tmp / "cut.avi";
    std::ofstream(cut, std::ios::binary)
        .write(bytes.data(), std::streamsize(bytes.size() * 6 / 10));
    OpenStatus status{};
    std::string why;
    EXPECT_FALSE(FrameSource::open(cut, status, &why));
    EXPECT_NE(why.find("truncated or damaged"), std::string::npos) << why;

    // A stream header claiming more frames than a frame number holds: damaged, not a capture.
    const std::size_t strh = bytes.find("strh");
    ASSERT_NE(strh, std::string::npos);
    bytes.replace(strh + 40, 4, "\xFF\xFF\xFF\xFF", 4); // the stream's length in frames
    const std::string huge = tmp / "huge.avi";
    std::ofstream(huge, std::ios::binary) << bytes;
    EXPECT_FALSE(FrameSource::open(huge, status, &why));
    EXPECT_NE(why.find("33 of 4294967295 frames"), std::string::npos) << why;
}

// Two program streams of different picture sizes joined into one file cannot be served frame
// for frame at one size: refused with the reason, never shown wrong.
TEST(RealWorldMovies, PictureSizeChangingMidwayIsRefused) {
    PrivateCache cache;
    TempFolder tmp;
    moviegen::MovieRecipe first = recipeFor("mpg-mpeg2", 14);
    moviegen::MovieRecipe second = first;
    second.width = 96;
    second.height = 64;
    std::string joined;
    for (const auto& [recipe, stem] : {std::pair{first, "a"}, std::pair{second, "b"}}) {
        std::ifstream in(makeMovie(tmp, recipe, stem), std::ios::binary);
        joined.append(std::istreambuf_iterator<char>(in), {});
    }
    const std::string path = tmp / "joined.mpg";
    std::ofstream(path, std::ios::binary) << joined;
    OpenStatus status{};
    std::string why;
    EXPECT_FALSE(FrameSource::open(path, status, &why));
    EXPECT_NE(why.find("the picture size changes within the movie, from 160 x 120 to 96 x 64"),
              std::string::npos)
        << why;
}

// An edit list whose media time lies before the media drops every sample of the stream: the
// index holds no frame, and the movie is refused instead of crashing the decoder's set-up.
TEST(RealWorldMovies, AStreamWithoutSamplesIsRefused) {
    PrivateCache cache;
    TempFolder tmp;
    std::ifstream in(makeMovie(tmp, recipeFor("mov-mjpeg", 5)), std::ios::binary);
    std::string bytes{std::istreambuf_iterator<char>(in), {}};
    const std::size_t elst = bytes.find("elst");
    ASSERT_NE(elst, std::string::npos);
    bytes.replace(elst + 16, 4, "\xFF\x00\x02\x00", 4); // the first entry's media time
    const std::string path = tmp / "negative-edit.mov";
    std::ofstream(path, std::ios::binary) << bytes;
    OpenStatus status{};
    std::string why;
    EXPECT_FALSE(FrameSource::open(path, status, &why));
    EXPECT_EQ(status, OpenStatus::BadSize) << why;
}

// A movie cut inside its only picture: the picture comes out as far as it was decoded, and the
// decoder's own words about the damage reach a program that listens.
TEST(RealWorldMovies, DamageTheDecoderSeesIsReported) {
    PrivateCache cache;
    TempFolder tmp;
    moviegen::MovieRecipe recipe = recipeFor("mpg-mpeg2", 1);
    recipe.width = 320;
    recipe.height = 240;
    std::ifstream in(makeMovie(tmp, recipe), std::ios::binary);
    std::string bytes{std::istreambuf_iterator<char>(in), {}};
    const std::string path = tmp / "cut.mpg";
    std::ofstream(path, std::ios::binary)
        .write(bytes.data(), std::streamsize(bytes.size() * 6 / 10));

    std::vector<std::string> said;
    std::mutex m;
    setDecoderMessageHandler([&](const std::string& line) {
        const std::lock_guard lock(m);
        said.push_back(line);
    });
    OpenStatus status{};
    std::string why;
    auto source = FrameSource::open(path, status, &why);
    std::vector<uint8_t> bgr;
    const bool read = source && source->readBgr(0, bgr);
    setDecoderMessageHandler({});
    ASSERT_TRUE(read) << why;
    ASSERT_FALSE(said.empty());
    EXPECT_EQ(said.front().rfind("mpeg2video: ", 0), 0u) << said.front();
}
