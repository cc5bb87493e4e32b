// Whole tracks on movies from the test-movie writer, against the object's true rectangles.
#include "tests/TestFrames.h"
#include "tests/TestMovies.h"
#include "tracking/Codes.h"
#include "tracking/SetAuto.h"
#include "tracking/include/qxmtrack.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

using namespace qxm::track;
using namespace qxm::track::test;
namespace fs = std::filesystem;
namespace moviegen = qxm::moviegen;

namespace {

class MovieTrack : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("qxmtrack-movies-" + std::to_string(getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override {
        ExitSetAuto();
        fs::remove_all(dir_);
    }

    // Writes a movie; returns its path and fills truth (one rectangle a frame).
    std::string make(const std::string& kind, const std::string& size, int frames,
                     const std::string& path, double speed, std::vector<Rect>& truth) {
        moviegen::MovieRecipe recipe;
        recipe.kind = kind;
        recipe.frames = frames;
        recipe.speed = speed;
        if (std::sscanf(size.c_str(), "%dx%d", &recipe.width, &recipe.height) != 2 ||
            !moviegen::parsePath(path, recipe.path))
            return {};
        const fs::path movie = dir_ / (kind + "-" + path + moviegen::findKind(kind)->extension);
        std::string why;
        if (!writeTestMovie(movie.string(), recipe, truth, why)) return {};
        return movie.string();
    }

    std::string ini(const std::string& body) {
        const fs::path p = dir_ / "track.ini";
        std::ofstream(p) << "[qxmtrack]\n" << body;
        return p.string();
    }

    // Tracks the whole movie and returns the mean overlap with the truth.
    double meanIou(const std::string& movie, const std::vector<Rect>& truth,
                   const std::string& params, int32_t* rating = nullptr) {
        EXPECT_EQ(InitSetAuto(movie.c_str(), ini(params).c_str()), 0);
        const int32_t last = int32_t(truth.size()) - 1;
        const Rect S = truth.front(), E = truth.back();
        int32_t count = 0;
        SetAutoAnchorRecord* rec = nullptr;
        const int32_t rc = ExecSetAuto(0, last, S.left, S.top, S.right, S.bottom, E.left, E.top,
                                       E.right, E.bottom, &count, &rec);
        if (rating) *rating = rc;
        EXPECT_GE(rc, 0);
        if (rc < 0) return 0;
        const std::vector<Rect> filled = fillByInterpolation(rec, count);
        FreeSetAutoAnchorData(rec);
        ExitSetAuto();
        EXPECT_EQ(filled.size(), truth.size());
        double sum = 0;
        for (std::size_t i = 0; i < filled.size() && i < truth.size(); ++i)
            sum += iou(filled[i], truth[i]);
        return sum / double(truth.size());
    }

    fs::path dir_;
};

} // namespace

TEST_F(MovieTrack, StraightPathUncompressedAndMpeg4) {
    for (const char* kind : {"avi-bgr24", "avi-mpeg4"}) {
        std::vector<Rect> truth;
        const std::string movie = make(kind, "320x240", 60, "straight", 4, truth);
        ASSERT_FALSE(movie.empty()) << kind;
        ASSERT_EQ(truth.size(), 60u);
        int32_t rating = -1;
        const double exact = meanIou(movie, truth, "DelMidleFlag=OFF\n", &rating);
        EXPECT_GE(exact, 0.9) << kind;
        EXPECT_EQ(rating, 0) << kind;
        const double thinned = meanIou(movie, truth, "");
        EXPECT_GE(thinned, 0.8) << kind;
        std::string key = kind;
        std::replace(key.begin(), key.end(), '-', '_');
        RecordProperty(key + "_iou", std::to_string(exact) + " " + std::to_string(thinned));
    }
}

TEST_F(MovieTrack, PalettisedAndCurvedMovies) {
    std::vector<Rect> truth;
    std::string movie = make("avi-pal8", "240x180", 40, "straight", 3, truth);
    ASSERT_FALSE(movie.empty());
    EXPECT_GE(meanIou(movie, truth, "DelMidleFlag=OFF\n"), 0.9);
    movie = make("avi-bgr24", "320x240", 60, "curved", 3, truth);
    ASSERT_FALSE(movie.empty());
    EXPECT_GE(meanIou(movie, truth, "DelMidleFlag=OFF\n"), 0.8);
}

TEST_F(MovieTrack, ProgramStreamAndQuickTimeMovies) {
    struct Case {
        const char* kind;
        MovieKind expected;
    };
    for (const Case& c : {Case{"mpg-mpeg2", MovieKind::Other}, Case{"mov-mpeg4", MovieKind::Mov}}) {
        std::vector<Rect> truth;
        const std::string movie = make(c.kind, "240x180", 40, "straight", 3, truth);
        ASSERT_FALSE(movie.empty()) << c.kind;
        ASSERT_EQ(InitSetAuto(movie.c_str(), ini("").c_str()), 0) << c.kind;
        EXPECT_EQ(context().kind, c.expected) << c.kind;
        ExitSetAuto();
        EXPECT_GE(meanIou(movie, truth, "DelMidleFlag=OFF\n"), 0.9) << c.kind;
    }
}

TEST_F(MovieTrack, ObjectLeavingThePicture) {
    std::vector<Rect> truth;
    const std::string movie = make("avi-bgr24", "240x180", 60, "leave", 3, truth);
    ASSERT_FALSE(movie.empty());
    ASSERT_EQ(InitSetAuto(movie.c_str(), ini("DelMidleFlag=OFF\n").c_str()), 0);
    const Rect S = truth.front(), E = truth.back();
    int32_t count = 0;
    SetAutoAnchorRecord* rec = nullptr;
    const int32_t rc = ExecSetAuto(0, 59, S.left, S.top, S.right, S.bottom, E.left, E.top, E.right,
                                   E.bottom, &count, &rec);
    ASSERT_GE(rc, 0);
    ASSERT_GE(count, 2);
    EXPECT_EQ(rec[0].frame, 0);
    EXPECT_EQ(rec[count - 1].frame, 59);
    for (int32_t i = 1; i < count; ++i)
        EXPECT_LT(rec[i - 1].frame, rec[i].frame);
    // While the object is whole, the records stay on it: their sizes shrink towards the
    // clipped end rectangle, their centres follow the object to within a few pixels (its
    // texture repeats, so a step may settle one period off).
    int checked = 0;
    for (int32_t i = 1; i + 1 < count; ++i) {
        const Rect& t = truth[std::size_t(rec[i].frame)];
        // From frame 30 on (the backward limit) the tail comes from the backward pass, which
        // starts from the clipped end rectangle and may follow the background instead.
        if (t.width() != truth[0].width() || rec[i].frame >= 30) break;
        const Rect r = rectOf(rec[i]);
        EXPECT_NEAR(r.cx(), t.cx(), 6.0) << rec[i].frame;
        EXPECT_NEAR(r.cy(), t.cy(), 6.0) << rec[i].frame;
        ++checked;
    }
    EXPECT_GT(checked, 3);
    FreeSetAutoAnchorData(rec);
}

TEST_F(MovieTrack, LargeMoviesAreRefusedAndNothingStaysOpen) {
    std::vector<Rect> truth;
    const std::string movie = make("avi-mpeg4", "1280x720", 3, "straight", 2, truth);
    ASSERT_FALSE(movie.empty());
    EXPECT_EQ(InitSetAuto(movie.c_str(), nullptr), kImageBuffer);
    EXPECT_FALSE(context().open());
    EXPECT_EQ(context().movie, nullptr);
    EXPECT_EQ(context().bufferA, -1);
    EXPECT_EQ(context().bufferB, -1);
    EXPECT_EQ(context().width, 0);
    int32_t count = 1;
    SetAutoAnchorRecord* rec = nullptr;
    EXPECT_EQ(ExecSetAuto(0, 1, 0, 0, 10, 10, 0, 0, 10, 10, &count, &rec), kNoFrameStep);
    // The same library opens a small movie afterwards.
    const std::string small = make("avi-bgr24", "160x120", 5, "straight", 2, truth);
    EXPECT_EQ(InitSetAuto(small.c_str(), ini("").c_str()), 0);
    EXPECT_EQ(context().kind, MovieKind::Avi);
    EXPECT_EQ(context().width, 160);
    // Opening another movie without ExitSetAuto first closes the previous one.
    EXPECT_EQ(InitSetAuto(small.c_str(), ini("FrameStep=0\n").c_str()), kFrameStep);
    EXPECT_FALSE(context().open());
}
