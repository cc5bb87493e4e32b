#include "testing/moviegen/MovieGen.h"
#include "testing/support/TempFolder.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace qxm::moviegen;
using qxm::testsupport::TempFolder;

namespace {

int runTool(const std::string& args) {
    const std::string cmd =
        std::string(std::getenv("QXM_BIN_DIR")) + "/qxm-make-movie " + args + " >/dev/null 2>&1";
    const int rc = std::system(cmd.c_str());
    return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

} // namespace

TEST(Tool, WritesMovieAndTruthAndRefusesBadArguments) {
    TempFolder tmp;
    const std::string movie = (tmp.path / "m.avi").string();
    EXPECT_EQ(runTool("--kind avi-mpeg4 --size 96x64 --frames 5 --path curved --speed 1.5 "
                      "--seed 9 " +
                      movie),
              0);
    EXPECT_GT(fs::file_size(movie), 0u);
    std::vector<Rect> rects;
    std::string why;
    ASSERT_TRUE(readTruth(movie + ".truth", rects, why)) << why;
    EXPECT_EQ(rects.size(), 5u);

    const std::string truth = (tmp.path / "t.txt").string();
    EXPECT_EQ(runTool("--frames 3 --truth " + truth + " " + movie), 0);
    ASSERT_TRUE(readTruth(truth, rects, why)) << why;
    EXPECT_EQ(rects.size(), 3u);

    EXPECT_EQ(runTool("--help"), 0);
    EXPECT_EQ(runTool("--list-kinds"), 0);
    EXPECT_EQ(runTool(""), 2) << "no output";
    EXPECT_EQ(runTool("--kind nosuch " + movie), 2);
    EXPECT_EQ(runTool("--size 160 " + movie), 2);
    EXPECT_EQ(runTool("--frames x " + movie), 2);
    EXPECT_EQ(runTool("--path zigzag " + movie), 2);
    EXPECT_EQ(runTool("--bogus " + movie), 2);
    EXPECT_EQ(runTool(movie + " " + movie), 2);
    EXPECT_EQ(runTool((tmp.path / "missing/m.avi").string()), 1);
    if (!kindAvailable("mov-h264")) {
        EXPECT_EQ(runTool("--kind mov-h264 " + (tmp.path / "h.mov").string()), 3);
    }
}
