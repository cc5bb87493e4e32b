// Whole tracks on movies from the test-movie writer, against the object's true rectangles.
#include "tests/TestFrames.h"
#include "tracking/Codes.h"
#include "tracking/SetAuto.h"
#include "tracking/include/qxmtrack.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

using namespace qxm::track;
using namespace qxm::track::test;
namespace fs = std::filesystem;

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
        const std::string ext = kind.substr(0, 3);
        const fs::path movie = dir_ / (kind + "-" + path + "." + ext);
        std::ostringstream cmd;
        cmd << std::getenv("QXM_BIN_DIR") << "/qxm-make-movie --kind " << kind << " --size " << size
            << " --frames " << frames << " --path " << path << " --speed " << speed << " " << movie
            << " > /dev/null 2>&1";
        if (std::system(cmd.str().c_str()) != 0) return {};
        std::ifstream in(movie.string() + ".truth");
        std::string line;
        truth.clear();
        while (std::getline(in, line)) {
            if (line.empty() || line[0] == '#') continue;
            std::istringstream ls(line);
            int f;
            Rect r;
            ls >> f >> r.left >> r.top >> r.right >> r.bottom;
            truth.push_back(r);
        }
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
