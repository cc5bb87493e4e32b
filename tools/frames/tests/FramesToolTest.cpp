// The frame tool, run as a program.
#include "platform/video/FrameSource.h"
#include "platform/video/Hash.h"
#include "platform/video/tests/VideoTestSupport.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cinttypes>
#include <cstdio>
#include <fstream>
#include <sstream>

using namespace qxm::video;
using namespace qxm::video::testing;

namespace {

struct ToolRun {
    int status = -1;
    std::string out;
};

ToolRun frames(const std::string& args) {
    const std::string cmd =
        std::string(std::getenv("QXM_BIN_DIR")) + "/qxm-frames " + args + " 2>/dev/null";
    ToolRun r;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return r;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        r.out.append(buf, n);
    const int rc = pclose(p);
    r.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    return r;
}

std::string hashLine(FrameSource& source, int n) {
    std::vector<uint8_t> bgr;
    EXPECT_TRUE(source.readBgr(n, bgr));
    char line[64];
    std::snprintf(line, sizeof line, "%d %016" PRIx64 "\n", n, fnv1a64(bgr.data(), bgr.size()));
    return line;
}

} // namespace

TEST(FramesTool, InfoHashAndPpmDescribeTheMovie) {
    TempFolder tmp;
    const std::string movie = makeMovie(tmp, recipeFor("avi-mpeg4", 12));
    OpenStatus status;
    auto source = FrameSource::open(movie, status);
    ASSERT_TRUE(source);

    const ToolRun info = frames(movie + " --info");
    EXPECT_EQ(info.status, 0);
    EXPECT_NE(info.out.find("frames 12\n"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("width 160\n"), std::string::npos);
    EXPECT_NE(info.out.find("height 120\n"), std::string::npos);
    EXPECT_NE(info.out.find("fps 25/1"), std::string::npos);
    EXPECT_NE(info.out.find("kind avi/mpeg4"), std::string::npos);

    const ToolRun some = frames(movie + " --hash 9 2 2 11 0");
    EXPECT_EQ(some.status, 0);
    EXPECT_EQ(some.out, hashLine(*source, 9) + hashLine(*source, 2) + hashLine(*source, 2) +
                            hashLine(*source, 11) + hashLine(*source, 0));

    const ToolRun all = frames(movie + " --hash");
    EXPECT_EQ(all.status, 0);
    std::string expected;
    for (int n = 0; n < 12; ++n)
        expected += hashLine(*source, n);
    EXPECT_EQ(all.out, expected);

    // FNV-1a itself, on the standard check values.
    EXPECT_EQ(fnv1a64("", 0), 0xcbf29ce484222325ull);
    EXPECT_EQ(fnv1a64("a"), 0xaf63dc4c8601ec8cull);
    EXPECT_EQ(fnv1a64("foobar"), 0x85944171f73967e8ull);

    const ToolRun ppm = frames(movie + " --ppm " + tmp.path.string() + " 7 3");
    EXPECT_EQ(ppm.status, 0);
    std::ifstream in(tmp / "frame-000007.ppm", std::ios::binary);
    std::stringstream data;
    data << in.rdbuf();
    const std::string header = "P6\n160 120\n255\n";
    const std::string file = data.str();
    ASSERT_EQ(file.size(), header.size() + 160 * 120 * 3);
    EXPECT_EQ(file.substr(0, header.size()), header);
    std::vector<uint8_t> bgr;
    ASSERT_TRUE(source->readBgr(7, bgr));
    for (size_t i = 0; i < bgr.size(); i += 3) {
        ASSERT_EQ(uint8_t(file[header.size() + i]), bgr[i + 2]) << "red first";
        ASSERT_EQ(uint8_t(file[header.size() + i + 2]), bgr[i]);
    }
    EXPECT_TRUE(fs::exists(tmp / "frame-000003.ppm"));
}

TEST(FramesTool, BadInputGivesAnErrorAndANonZeroExit) {
    TempFolder tmp;
    const std::string movie = makeMovie(tmp, recipeFor("avi-bgr24", 4));
    EXPECT_EQ(frames(tmp / "missing.avi --info").status, 1);
    std::ofstream(tmp / "text.avi") << "not a movie\n";
    EXPECT_EQ(frames(tmp / "text.avi --hash").status, 1);
    EXPECT_EQ(frames(movie + " --hash 4").status, 1) << "out of range";
    EXPECT_EQ(frames(movie + " --ppm " + (tmp / "no/such") + " 1").status, 1);
    EXPECT_EQ(frames(movie + " --hash x").status, 2);
    EXPECT_EQ(frames(movie + " --hash -1").status, 2);
    EXPECT_EQ(frames(movie + " --info 3").status, 2);
    EXPECT_EQ(frames(movie + " --ppm " + tmp.path.string()).status, 2);
    EXPECT_EQ(frames(movie + " --frobnicate").status, 2);
    EXPECT_EQ(frames(movie).status, 2);
    const ToolRun partial = frames(movie + " --hash 1 9");
    EXPECT_EQ(partial.status, 1);
    EXPECT_EQ(partial.out, "") << "frames are checked before anything is printed";
}
