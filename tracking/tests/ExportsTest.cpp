// The five exported functions: calling order, codes, ownership and the timing message.
#include "platform/prompter/Prompter.h"
#include "tests/TestFrames.h"
#include "tracking/Codes.h"
#include "tracking/SetAuto.h"
#include "tracking/include/qxmtrack.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

using namespace qxm::track;
using namespace qxm::track::test;
namespace fs = std::filesystem;

namespace {

class ExportsTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("qxmtrack-exports-" + std::to_string(getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override {
        ExitSetAuto();
        fs::remove_all(dir_);
    }
    std::string ini(const std::string& body) {
        const fs::path p = dir_ / "params.ini";
        std::ofstream(p) << "[qxmtrack]\n" << body;
        return p.string();
    }
    // Opens the context on a hand-made scene: object 40 x 30 moving (2, 1) a frame.
    int32_t open(const std::string& body = "", int frames = 60) {
        auto scene = std::make_unique<Scene>(200, 150, frames, [](int n) {
            return Rect{20 + 2 * n, 30 + n, 60 + 2 * n, 60 + n};
        });
        scene_ = scene.get();
        return openContext(std::move(scene), 200, 150, ini(body).c_str());
    }
    fs::path dir_;
    Scene* scene_ = nullptr;
};

int32_t exec(int32_t s, int32_t e, Rect a, Rect b, int32_t& count, SetAutoAnchorRecord*& rec) {
    return ExecSetAuto(s, e, a.left, a.top, a.right, a.bottom, b.left, b.top, b.right, b.bottom,
                       &count, &rec);
}

} // namespace

TEST_F(ExportsTest, FirstChecksAndTheClosedState) {
    int32_t count = 7;
    SetAutoAnchorRecord* rec = reinterpret_cast<SetAutoAnchorRecord*>(this);
    // Before InitSetAuto: frame step 0.
    EXPECT_EQ(exec(0, 10, {}, {}, count, rec), kNoFrameStep);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(rec, nullptr);
    ASSERT_EQ(open(), 0);
    count = 7;
    rec = reinterpret_cast<SetAutoAnchorRecord*>(this);
    EXPECT_EQ(exec(11, 10, {}, {}, count, rec), kEndBeforeStart);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(rec, nullptr);
    EXPECT_EQ(exec(-1, 10, {}, {}, count, rec), kNegativeStart);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(rec, nullptr);
    // Null out arguments are refused rather than written through.
    EXPECT_EQ(ExecSetAuto(0, 5, 0, 0, 40, 30, 0, 0, 40, 30, nullptr, &rec), kNoResultMemory);
    EXPECT_EQ(ExecSetAuto(0, 5, 0, 0, 40, 30, 0, 0, 40, 30, &count, nullptr), kNoResultMemory);
    EXPECT_EQ(ExitSetAuto(), 0);
    EXPECT_EQ(ExitSetAuto(), 0); // more than once
    EXPECT_EQ(exec(0, 10, {}, {}, count, rec), kNoFrameStep);
    EXPECT_EQ(FreeSetAutoAnchorData(nullptr), 0);
}

TEST_F(ExportsTest, StartEqualToEndGivesTheNormalisedStartRectangle) {
    ASSERT_EQ(open(), 0);
    int32_t count = 0;
    SetAutoAnchorRecord* rec = nullptr;
    ASSERT_EQ(exec(3, 3, Rect{60, 50, 20, 30}, Rect{0, 0, 1, 1}, count, rec), 0);
    ASSERT_EQ(count, 1);
    EXPECT_EQ(rec[0].frame, 3);
    EXPECT_EQ(rectOf(rec[0]), (Rect{20, 30, 60, 50}));
    EXPECT_EQ(FreeSetAutoAnchorData(rec), 0);
}

TEST_F(ExportsTest, TracksAndReturnsOwnedRecords) {
    ASSERT_EQ(open("DelMidleFlag=OFF\n"), 0);
    int32_t count = 0;
    SetAutoAnchorRecord* rec = nullptr;
    const Rect S = scene_->object(0), E = scene_->object(40);
    // The start rectangle given right-to-left is normalised first.
    ASSERT_EQ(exec(0, 40, Rect{S.right, S.top, S.left, S.bottom}, E, count, rec), 0);
    ASSERT_EQ(count, 9);
    EXPECT_EQ(rectOf(rec[0]), S);
    EXPECT_EQ(rectOf(rec[8]), E);
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(rec[i].frame, 5 * i);
        EXPECT_GE(iou(rectOf(rec[i]), scene_->object(5 * i)), 0.9) << i;
    }
    FreeSetAutoAnchorData(rec);
    // Each call reads every frame again: the cache is reset at the start of a pass.
    scene_->decodesOf.clear();
    ASSERT_EQ(exec(0, 10, S, scene_->object(10), count, rec), 0);
    EXPECT_EQ(scene_->decodesOf, (std::map<int, int>{{0, 1}, {5, 1}, {10, 1}}));
    FreeSetAutoAnchorData(rec);
}

TEST_F(ExportsTest, ErrorsFreeTheArrays) {
    ASSERT_EQ(open("", 20), 0);
    int32_t count = 5;
    SetAutoAnchorRecord* rec = nullptr;
    // Frames past the end of the movie cannot be fetched.
    EXPECT_EQ(exec(10, 30, scene_->object(10), scene_->object(10), count, rec), kFrameFetch);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(rec, nullptr);
    // A huge range cannot get its arrays.
    EXPECT_EQ(exec(0, INT32_MAX, {}, {}, count, rec), kNoResultMemory);
    EXPECT_EQ(rec, nullptr);
    // Huge frame steps and search widths still give a normal track.
    ExitSetAuto();
    ASSERT_EQ(open("FrameStep=2147483647\nSearchWidth=2147483647\nSearchHeight=2147483647\n", 20),
              0);
    EXPECT_GE(exec(0, 8, scene_->object(0), scene_->object(8), count, rec), 0);
    ASSERT_GE(count, 2);
    EXPECT_EQ(rec[0].frame, 0);
    EXPECT_EQ(rec[count - 1].frame, 8);
    FreeSetAutoAnchorData(rec);
}

TEST_F(ExportsTest, ShowTimeMessages) {
    qxm::ScriptedPrompter prompter;
    ASSERT_EQ(open("ShowTime=on\n"), 0);
    int32_t count = 0;
    SetAutoAnchorRecord* rec = nullptr;
    ASSERT_EQ(exec(0, 10, scene_->object(0), scene_->object(10), count, rec), 0);
    FreeSetAutoAnchorData(rec);
    EXPECT_EQ(exec(5, 4, {}, {}, count, rec), kEndBeforeStart); // also for the first checks
    EXPECT_EQ(exec(50, 70, scene_->object(0), scene_->object(0), count, rec), kFrameFetch);
    ASSERT_EQ(prompter.prompts.size(), 3u);
    EXPECT_EQ(prompter.prompts[0].text.rfind("Complete Automatic Setting; Time(ms)=", 0), 0u);
    EXPECT_EQ(prompter.prompts[0].caption, "qxmtrack");
    EXPECT_EQ(prompter.prompts[1].text.rfind("Error in Automatic Setting; Time(ms)=", 0), 0u);
    EXPECT_EQ(prompter.prompts[2].text.rfind("Error in Automatic Setting; Time(ms)=", 0), 0u);
    // Without ShowTime nothing is shown.
    ExitSetAuto();
    ASSERT_EQ(open(), 0);
    ASSERT_EQ(exec(0, 10, scene_->object(0), scene_->object(10), count, rec), 0);
    FreeSetAutoAnchorData(rec);
    EXPECT_EQ(prompter.prompts.size(), 3u);
}

TEST_F(ExportsTest, ParameterErrorsCloseEverything) {
    EXPECT_EQ(open("Red=abc\n"), kRed);
    EXPECT_FALSE(context().open());
    EXPECT_EQ(context().bufferA, -1);
    EXPECT_EQ(context().bufferB, -1);
    EXPECT_EQ(context().movie, nullptr);
    EXPECT_EQ(context().params.frameStep, 0);
    int32_t count = 0;
    SetAutoAnchorRecord* rec = nullptr;
    EXPECT_EQ(exec(0, 10, {}, {}, count, rec), kNoFrameStep);
    // Too large a picture for the image buffers.
    auto big = std::make_unique<Scene>(1280, 720, 5, [](int) { return Rect{}; });
    EXPECT_EQ(openContext(std::move(big), 1280, 720, nullptr), kImageBuffer);
    EXPECT_FALSE(context().open());
    EXPECT_EQ(context().movie, nullptr);
    EXPECT_EQ(context().width, 0);
}

TEST_F(ExportsTest, ImageLibraryFailuresEndTheCall) {
    // Frames narrower than 25 pixels cannot hold a widened model.
    auto narrow = std::make_unique<Scene>(20, 60, 10, [](int) { return Rect{2, 2, 18, 40}; });
    ASSERT_EQ(openContext(std::move(narrow), 20, 60, ini("").c_str()), 0);
    int32_t count = 4;
    SetAutoAnchorRecord* rec = nullptr;
    EXPECT_EQ(exec(0, 5, Rect{2, 2, 18, 40}, Rect{2, 2, 18, 40}, count, rec), kImageLibrary);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(rec, nullptr);
}

TEST_F(ExportsTest, MissingMoviesAndPaths) {
    EXPECT_EQ(InitSetAuto((dir_ / "none.avi").c_str(), nullptr), kOpenFailed);
    EXPECT_EQ(InitSetAuto(nullptr, nullptr), kOpenFailed);
    const fs::path junk = dir_ / "junk.avi";
    std::ofstream(junk) << "this is not a movie";
    EXPECT_EQ(InitSetAuto(junk.c_str(), nullptr), kOpenFailed);
    EXPECT_FALSE(context().open());
}

TEST(SharedLibrary, ExportsExactlyTheFiveFunctions) {
    const std::string lib = std::string(std::getenv("QXM_LIB_DIR")) + "/libqxmtrack.so";
    void* h = dlopen(lib.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(h, nullptr) << dlerror();
    for (const char* name : {"InitSetAuto", "ExitSetAuto", "ExecSetAuto", "FreeSetAutoAnchorData",
                             "GetSetAutoErrorString"})
        EXPECT_NE(dlsym(h, name), nullptr) << name;
    EXPECT_EQ(dlsym(h, "_ZN3qxm5track7contextEv"), nullptr); // internals stay hidden
    auto errorString =
        reinterpret_cast<int32_t (*)(int32_t, char*)>(dlsym(h, "GetSetAutoErrorString"));
    char buf[100];
    ASSERT_NE(errorString, nullptr);
    EXPECT_EQ(errorString(-303, buf), 1);
    EXPECT_STREQ(buf, "QXMTRACK.DLL Automatic Setting Error RC=-303");
    auto exec = reinterpret_cast<decltype(&ExecSetAuto)>(dlsym(h, "ExecSetAuto"));
    int32_t count = 3;
    SetAutoAnchorRecord* rec = nullptr;
    EXPECT_EQ(exec(0, 1, 0, 0, 1, 1, 0, 0, 1, 1, &count, &rec), -303);
    EXPECT_EQ(count, 0);
    dlclose(h);
}
