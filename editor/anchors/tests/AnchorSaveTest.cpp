#include "editor/anchors/AnchorFile.h"
#include "platform/prompter/Prompter.h"

#include "ExampleAnchors.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace qxm::anchors;
using namespace qxm::anchors::testdata;

namespace {

// Installs save hooks for one test and restores the defaults afterwards.
class ScopedSaveHooks {
public:
    explicit ScopedSaveHooks(SaveHooks h) : previous_(setSaveHooks(std::move(h))) {}
    ~ScopedSaveHooks() { setSaveHooks(std::move(previous_)); }

private:
    SaveHooks previous_;
};

AnchorTable exampleTable(double xs = 1.0, double ys = 1.0) {
    AnchorTable t;
    t.XScale = xs;
    t.YScale = ys;
    t.Assign(exampleAnchors());
    t.AnchorDataSaved = false;
    return t;
}

class AnchorSaveTest : public ::testing::Test {
protected:
    TempFolder dir;
    qxm::ScriptedPrompter prompter;
};

} // namespace

TEST_F(AnchorSaveTest, WritesTheExactFormat) {
    AnchorTable t = exampleTable();
    EXPECT_TRUE(WriteAnchorFile(t, dir.path(), "clip"));
    EXPECT_EQ(dir.read("clip.obj"), kExampleFile);
    EXPECT_TRUE(t.AnchorDataSaved);
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"clip.obj"}); // no temporary left
    EXPECT_TRUE(prompter.prompts.empty());

    // The plain-data writer gives the same file.
    EXPECT_TRUE(WriteAnchorObjectFile(dir.path(), "plain", exampleAnchors()));
    EXPECT_EQ(dir.read("plain.obj"), kExampleFile);
}

TEST_F(AnchorSaveTest, ReadsBackWhatItWroteWithScales) {
    for (const auto& [xs, ys] : {std::pair{2.0, 0.5}, {0.5, 0.5}, {1.25, 3.0}, {1.0, 1.0}}) {
        // Display coordinates that survive the round trip at these scales.
        AnchorTable t;
        t.XScale = xs;
        t.YScale = ys;
        t.Append("A-1", "Name]x");
        t.at(0).Entries = {E(3, 4, 8, 12, 16), E(9, 20, 24, 28, 32)};
        t.at(0).StartFrame = 3;
        t.at(0).EndFrame = 9;
        const auto written = t.records();
        ASSERT_TRUE(WriteAnchorFile(t, dir.path(), "clip"));

        AnchorTable back;
        back.XScale = xs;
        back.YScale = ys;
        ASSERT_EQ(ReadAnchorFile(back, dir.path(), "clip"), ReadStatus::Ok);
        EXPECT_EQ(back.records(), written) << xs << " " << ys;
    }
    // 0.5: the frame line 7:10,10,21,21; reads as 20,20,42,42 and is written back unchanged.
    dir.write("half.obj", "MaxObject=1\r\n\r\n[A:a:7-7:1]\r\n7:10,10,21,21;\r\n");
    AnchorTable h;
    h.XScale = h.YScale = 0.5;
    ASSERT_EQ(ReadAnchorFile(h, dir.path(), "half"), ReadStatus::Ok);
    EXPECT_EQ(h[0].Entries[0], E(7, 20, 20, 42, 42));
    ASSERT_TRUE(WriteAnchorFile(h, dir.path(), "half"));
    EXPECT_EQ(dir.read("half.obj"), "MaxObject=1\r\n\r\n[A:a:7-7:1]\r\n7:10,10,21,21;\r\n");
    // 2.0: a display coordinate of 7 is written as 14.
    AnchorTable d = exampleTable(2.0, 1.0);
    d.at(1).Entries[0].Left = 7;
    ASSERT_TRUE(WriteAnchorFile(d, dir.path(), "double"));
    EXPECT_NE(dir.read("double.obj").find("\r\n10:14,1,10,5;\r\n"), std::string::npos);
}

TEST_F(AnchorSaveTest, IncompleteAnchorsAreDroppedWhereverTheyStand) {
    AnchorTable t = exampleTable();
    EXPECT_EQ(t.Append("NEW", "New"), EditResult::Ok); // incomplete at the end
    t.at(0).EndFrame = -1;                             // and one at the front
    t.CurrentAnchor = 1;
    ASSERT_TRUE(WriteAnchorFile(t, dir.path(), "clip"));
    EXPECT_EQ(dir.read("clip.obj"), "MaxObject=1\r\n\r\n[BALL:Ball:10-20:2]\r\n10:1,1,5,5;\r\n"
                                    "20:2,2,6,6;\r\n");
    ASSERT_EQ(t.size(), 1u);
    EXPECT_EQ(t[0].ID, "BALL");
    EXPECT_EQ(t.CurrentAnchor, 0);
    EXPECT_TRUE(t.AnchorDataSaved);
}

TEST_F(AnchorSaveTest, NoCompleteAnchorDeletesTheFile) {
    dir.write("clip.obj", kExampleFile);
    AnchorTable t;
    t.XScale = t.YScale = 1.0;
    t.Append("NEW", "New");
    ASSERT_TRUE(WriteAnchorFile(t, dir.path(), "clip"));
    EXPECT_FALSE(dir.exists("clip.obj"));
    EXPECT_EQ(t.size(), 0u);
    EXPECT_TRUE(t.AnchorDataSaved);
    ASSERT_TRUE(WriteAnchorFile(t, dir.path(), "clip")); // nothing to delete: still fine
    EXPECT_TRUE(prompter.prompts.empty());
}

TEST_F(AnchorSaveTest, WaitsForTheNextSecondWhenTheTemporaryNameIsTaken) {
    uint64_t now = 1700000000;
    int waits = 0;
    ScopedSaveHooks hooks({[&] { return now; }, [&] { ++waits, ++now; }, {}});
    dir.write("1700000000.obj", "someone else's");
    dir.write("1700000001.obj", "someone else's too");
    AnchorTable t = exampleTable();
    ASSERT_TRUE(WriteAnchorFile(t, dir.path(), "clip"));
    EXPECT_EQ(waits, 2);
    EXPECT_EQ(dir.read("clip.obj"), kExampleFile);
    EXPECT_EQ(dir.read("1700000000.obj"), "someone else's");
    EXPECT_EQ(dir.read("1700000001.obj"), "someone else's too");
    EXPECT_EQ(dir.entries().size(), 3u);
}

TEST_F(AnchorSaveTest, GivesUpWhenNoTemporaryNameFrees) {
    int waits = 0;
    ScopedSaveHooks hooks({[] { return uint64_t(5); }, [&] { ++waits; }, {}});
    dir.write("5.obj", "taken");
    AnchorTable t = exampleTable();
    EXPECT_FALSE(WriteAnchorFile(t, dir.path(), "clip"));
    EXPECT_EQ(waits, kTempNameAttempts);
    EXPECT_EQ(prompter.texts(), std::vector<std::string>{"Anchorfile open error."});
    EXPECT_EQ(dir.read("5.obj"), "taken");
}

TEST_F(AnchorSaveTest, EveryFailingStepKeepsTheOldFileAndTheTable) {
    const std::string old = "MaxObject=1\r\n\r\n[OLD:Old:0-1:0]\r\n";
    for (SaveStep step : {SaveStep::Create, SaveStep::Write, SaveStep::Flush, SaveStep::Sync,
                          SaveStep::Close, SaveStep::Rename}) {
        qxm::ScriptedPrompter p;
        ScopedSaveHooks hooks({{}, {}, [step](SaveStep s) { return s == step; }});
        dir.write("clip.obj", old);
        AnchorTable t = exampleTable();
        t.Append("NEW", "New");
        const auto before = t.records();
        EXPECT_FALSE(WriteAnchorFile(t, dir.path(), "clip")) << int(step);
        EXPECT_EQ(dir.read("clip.obj"), old) << int(step);
        EXPECT_EQ(dir.entries(), std::vector<std::string>{"clip.obj"}) << int(step);
        EXPECT_EQ(t.records(), before);
        EXPECT_FALSE(t.AnchorDataSaved);
        ASSERT_EQ(p.prompts.size(), 1u);
        EXPECT_EQ(p.prompts[0].text,
                  step == SaveStep::Create ? "Anchorfile open error." : "Anchorfile write error.");
        EXPECT_EQ(p.prompts[0].caption, "Movie Marquill");
        EXPECT_EQ(p.prompts[0].buttons, qxm::Buttons::Ok);
    }
}

TEST_F(AnchorSaveTest, FailedDeleteIsReported) {
    ScopedSaveHooks hooks({{}, {}, [](SaveStep s) { return s == SaveStep::Delete; }});
    dir.write("clip.obj", kExampleFile);
    AnchorTable t;
    t.Append("NEW", "New");
    EXPECT_FALSE(WriteAnchorFile(t, dir.path(), "clip"));
    EXPECT_EQ(dir.read("clip.obj"), kExampleFile);
    EXPECT_EQ(t.size(), 1u);
    EXPECT_EQ(prompter.texts(), std::vector<std::string>{"Anchorfile write error."});
}

TEST_F(AnchorSaveTest, MissingFolderIsAnOpenError) {
    AnchorTable t = exampleTable();
    EXPECT_FALSE(WriteAnchorFile(t, dir.file("gone"), "clip"));
    dir.write("file", "not a folder");
    EXPECT_FALSE(WriteAnchorFile(t, dir.file("file"), "clip"));
    EXPECT_EQ(prompter.texts(),
              (std::vector<std::string>{"Anchorfile open error.", "Anchorfile open error."}));
    EXPECT_FALSE(t.AnchorDataSaved);
}

TEST_F(AnchorSaveTest, ReadOnlyFolderKeepsTheOldFile) {
    if (::geteuid() == 0) GTEST_SKIP() << "permissions do not bind root";
    dir.write("clip.obj", kExampleFile);
    ::chmod(dir.path().c_str(), 0500); // read-only folder: the temporary cannot be created
    AnchorTable t = exampleTable(1.0, 1.0);
    t.at(0).Name = "Changed";
    EXPECT_FALSE(WriteAnchorFile(t, dir.path(), "clip"));
    ::chmod(dir.path().c_str(), 0700);
    EXPECT_EQ(dir.read("clip.obj"), kExampleFile);
    EXPECT_EQ(prompter.texts(), std::vector<std::string>{"Anchorfile open error."});
}

TEST_F(AnchorSaveTest, RealWriteFailureKeepsTheOldFile) {
    // A file size limit makes the writes of the temporary file fail for real (as root too).
    dir.write("clip.obj", "old");
    AnchorTable t = exampleTable();
    for (int i = 0; i < 50; ++i)
        t.at(0).Entries.push_back(E(200 + i, 1, 2, 3, 4));
    t.at(0).EndFrame = 249;
    struct sigaction ignore {
    }, previous{};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGXFSZ, &ignore, &previous);
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = 64;
    ::setrlimit(RLIMIT_FSIZE, &small);
    const bool ok = WriteAnchorFile(t, dir.path(), "clip");
    ::setrlimit(RLIMIT_FSIZE, &saved);
    ::sigaction(SIGXFSZ, &previous, nullptr);
    EXPECT_FALSE(ok);
    EXPECT_EQ(dir.read("clip.obj"), "old");
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"clip.obj"});
    EXPECT_EQ(prompter.texts(), std::vector<std::string>{"Anchorfile write error."});
    EXPECT_FALSE(t.AnchorDataSaved);
}

TEST_F(AnchorSaveTest, WhatIsNotAFileIsLeftAloneAndALinkIsFollowed) {
    // A folder or a FIFO in the anchor object file's place is refused before anything is written.
    dir.write("clip.obj/keep", "x");
    ASSERT_EQ(::mkfifo(dir.file("pipe.obj").c_str(), 0600), 0);
    AnchorTable t = exampleTable();
    EXPECT_FALSE(WriteAnchorFile(t, dir.path(), "clip"));
    EXPECT_FALSE(WriteAnchorFile(t, dir.path(), "pipe"));
    EXPECT_EQ(dir.read("clip.obj/keep"), "x");
    struct stat st {};
    EXPECT_TRUE(::stat(dir.file("pipe.obj").c_str(), &st) == 0 && S_ISFIFO(st.st_mode));
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"clip.obj", "pipe.obj"}));
    EXPECT_EQ(prompter.texts(),
              (std::vector<std::string>{"Anchorfile open error.", "Anchorfile open error."}));
    EXPECT_FALSE(t.AnchorDataSaved);

    // A link is followed: the file it names (in another folder) gets the anchors, the link stays.
    dir.write("kept/real.obj", "old");
    ASSERT_EQ(::symlink("kept/real.obj", dir.file("linked.obj").c_str()), 0);
    EXPECT_TRUE(WriteAnchorFile(t, dir.path(), "linked"));
    EXPECT_EQ(dir.read("kept/real.obj"), kExampleFile);
    EXPECT_TRUE(::lstat(dir.file("linked.obj").c_str(), &st) == 0 && S_ISLNK(st.st_mode));
    EXPECT_EQ(prompter.texts().size(), 2u);
}

TEST_F(AnchorSaveTest, ReplacedFileKeepsItsPermissions) {
    dir.write("clip.obj", "old");
    ::chmod(dir.file("clip.obj").c_str(), 0640);
    AnchorTable t = exampleTable();
    ASSERT_TRUE(WriteAnchorFile(t, dir.path(), "clip"));
    struct stat st {};
    ASSERT_EQ(::stat(dir.file("clip.obj").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST_F(AnchorSaveTest, TwoSaversNeverShareATemporaryFile) {
    // The second saver finds the first one's temporary of this second taken and moves on.
    uint64_t now = 42;
    ScopedSaveHooks hooks({[&] { return now; }, [&] { ++now; }, {}});
    const int fd = ::open(dir.file("42.obj").c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
    ASSERT_GE(fd, 0); // another saver holds 42.obj open
    AnchorTable t = exampleTable();
    ASSERT_TRUE(WriteAnchorFile(t, dir.path(), "clip"));
    ::close(fd);
    EXPECT_EQ(dir.read("42.obj"), "");
    EXPECT_EQ(dir.read("clip.obj"), kExampleFile);
}
