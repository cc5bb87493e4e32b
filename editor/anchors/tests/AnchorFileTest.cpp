#include "editor/anchors/AnchorFile.h"
#include "editor/anchors/AnchorMemory.h"
#include "platform/codepage/CodePage.h"
#include "platform/prompter/Prompter.h"

#include "ExampleAnchors.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace qxm::anchors;
using namespace qxm::anchors::testdata;

namespace {

class AnchorFileTest : public ::testing::Test {
protected:
    AnchorTable read(const std::string& content, double xs = 1.0, double ys = 1.0) {
        dir.write("clip.obj", content);
        AnchorTable t;
        t.XScale = xs;
        t.YScale = ys;
        EXPECT_EQ(ReadAnchorFile(t, dir.path(), "clip"), ReadStatus::Ok);
        return t;
    }
    TempFolder dir;
};

} // namespace

TEST_F(AnchorFileTest, ReadsTheExampleFile) {
    qxm::ScriptedPrompter prompter;
    AnchorTable t = read(kExampleFile);
    EXPECT_EQ(t.records(), exampleAnchors());
    EXPECT_EQ(t[0].StartFrame, 0);
    EXPECT_EQ(t[0].EndFrame, 120);
    EXPECT_TRUE(t.AnchorDataSaved);
    EXPECT_EQ(t.AnchorsCreated, 2);
    EXPECT_EQ(t.CurrentAnchor, -1);
    EXPECT_TRUE(prompter.prompts.empty());
}

TEST_F(AnchorFileTest, MissingFileIsNoErrorAndEmptiesTheTable) {
    qxm::ScriptedPrompter prompter;
    AnchorTable t;
    t.Append("OLD", "Old");
    EXPECT_EQ(ReadAnchorFile(t, dir.path(), "nothing"), ReadStatus::NoFile);
    EXPECT_EQ(t.size(), 0u);
    // Neither a folder nor a pipe with the file's name is read (a pipe would block).
    std::filesystem::create_directory(dir.file("folder.obj"));
    EXPECT_EQ(ReadAnchorFile(t, dir.path(), "folder"), ReadStatus::NoFile);
    ASSERT_EQ(::mkfifo(dir.file("pipe.obj").c_str(), 0600), 0);
    EXPECT_EQ(ReadAnchorFile(t, dir.path(), "pipe"), ReadStatus::NoFile);
    EXPECT_TRUE(prompter.prompts.empty());
}

TEST_F(AnchorFileTest, SectionCountFollowsMaxObject) {
    const std::string two = "\n[A:a:0-1:0]\n\n[B:b:0-1:0]\n";
    EXPECT_EQ(read("MaxObject=1\n" + two).size(), 1u);
    EXPECT_EQ(read("MaxObject=3\n" + two).size(), 2u);
    EXPECT_EQ(read(two).size(), 0u); // no MaxObject line first
    EXPECT_EQ(read("MaxObject=0\n" + two).size(), 0u);
    EXPECT_EQ(read("MaxObject=-5\n" + two).size(), 0u); // a negative count reads nothing
    EXPECT_EQ(read("MaxObject=2\nMaxObject=0\n" + two).size(), 2u); // the first count holds
    EXPECT_EQ(read("MaxObject:2\n" + two).size(), 2u); // the character after the key is skipped
    EXPECT_EQ(read("MaxObject").size(), 0u);
}

TEST_F(AnchorFileTest, OverTheLimitShowsTheMessageAndKeepsTheFirstThousand) {
    std::string content = "MaxObject=1500\n";
    for (int i = 0; i < 1500; ++i)
        content += "\n[I" + std::to_string(i) + ":n:0-1:1]\n0:1,2,3,4;\n";
    qxm::ScriptedPrompter prompter;
    AnchorTable t = read(content);
    EXPECT_EQ(t.size(), 1000u);
    EXPECT_EQ(t[999].ID, "I999");
    ASSERT_EQ(prompter.prompts.size(), 1u);
    EXPECT_EQ(prompter.prompts[0].text,
              "The Number of Anchors is over the limit.1000\n1000After Anchors Will Be Ignored.");
    EXPECT_EQ(prompter.prompts[0].caption, "Movie Marquill");
}

TEST_F(AnchorFileTest, HeaderFields) {
    AnchorTable t = read("MaxObject=6\n"
                         "[ABCDEFGHIJKL:Name:100-200:0]\n"
                         "[B:" +
                         std::string(45, 'n') +
                         ":5-9:0]\n"
                         "[C:c:100-20:0]\n"
                         "[D:d:77:0]\n"
                         "[E:x]y-z:1-2:1:extra:9]\n"
                         "[F]\n");
    ASSERT_EQ(t.size(), 6u);
    EXPECT_EQ(t[0].ID, "ABCDEFGHIJ");
    EXPECT_EQ(t[0].StartFrame, 100);
    EXPECT_EQ(t[0].EndFrame, 200);
    EXPECT_EQ(t[1].Name, std::string(40, 'n'));
    EXPECT_EQ(t[1].StartFrame, 5);
    EXPECT_EQ(t[1].EndFrame, 9);
    EXPECT_EQ(t[2].StartFrame, 100);
    EXPECT_EQ(t[2].EndFrame, 20);
    EXPECT_EQ(t[3].StartFrame, 0); // no '-': the whole number is the end
    EXPECT_EQ(t[3].EndFrame, 77);
    EXPECT_EQ(t[4].Name, "x]y-z"); // ']' and '-' belong to a name
    EXPECT_EQ(t[4].StartFrame, 1);
    EXPECT_EQ(t[4].EntryCount(), 1u);
    EXPECT_EQ(t[5].ID, "F]"); // a header without fields
    EXPECT_EQ(t[5].EntryCount(), 0u);
}

TEST_F(AnchorFileTest, MultibyteCharactersInHeaders) {
    qxm::codepage::ScopedCharset cs(qxm::codepage::Charset::Cp932);
    const std::string so = "\x83\x5D"; // trail byte is ']'
    // Six double-byte characters: the cut at 10 bytes falls after the fifth.
    AnchorTable t = read("MaxObject=2\n[" + so + so + so + so + so + so + ":" + "A" + so +
                         ":1-2:1]\n1:1,1,1,1;\n[X" + so + so + so + so + so + ":n:0-1:0]\n");
    ASSERT_EQ(t.size(), 2u);
    EXPECT_EQ(t[0].ID, so + so + so + so + so);
    EXPECT_EQ(t[0].Name, "A" + so);
    EXPECT_EQ(t[0].EntryCount(), 1u);
    EXPECT_EQ(t[1].ID, "X" + so + so + so + so); // 9 bytes: the fifth would be split
}

TEST_F(AnchorFileTest, FrameLines) {
    AnchorTable t = read("MaxObject=3\n"
                         "stray:1,1,1,1;\n" // before the first section
                         "[A:a:0-9:3]\n"
                         "0:1,2,3,4;\n"
                         "no colon here\n"
                         "\n"
                         "5:9,9\n"             // no ';': fills but does not complete
                         "6:5,6,7,8,99,100;\n" // same entry again; extra numbers ignored
                         "[B:b:0-9:2]\n"
                         "1:1,2,3,4;\n"
                         "2:5,6,7,8;\n"
                         "3:9,9,9,9;\n" // a third line for two entries
                         "[C:c:0-9:2]\n"
                         "-4:-1,-2;\n"); // short lines complete with what they hold
    ASSERT_EQ(t.size(), 3u);
    EXPECT_EQ(t[0].Entries,
              (std::vector<FrameEntry>{E(0, 1, 2, 3, 4), E(6, 5, 6, 7, 8), E(0, 0, 0, 0, 0)}));
    EXPECT_EQ(t[1].Entries, (std::vector<FrameEntry>{E(1, 1, 2, 3, 4), E(2, 5, 6, 7, 8)}));
    EXPECT_EQ(t[2].Entries, (std::vector<FrameEntry>{E(-4, -1, -2, 0, 0), E(0, 0, 0, 0, 0)}));
}

TEST_F(AnchorFileTest, CoordinatesAreConvertedToDisplayPixels) {
    AnchorTable t = read("MaxObject=1\n[A:a:7-7:1]\n7:10,10,21,21;\n", 0.5, 0.5);
    EXPECT_EQ(t[0].Entries[0], E(7, 20, 20, 42, 42));
    t = read("MaxObject=1\n[A:a:7-7:1]\n7:15,15,3,3;\n", 2.0, 0.5);
    EXPECT_EQ(t[0].Entries[0], E(7, 7, 30, 1, 6));
}

TEST_F(AnchorFileTest, LongLinesContinueAsTheNextLine) {
    // 259 bytes of the header end inside the name; the rest, which has a ':', is read as a
    // frame line of the new section.
    const std::string header = "[A:" + std::string(300, 'n') + ":0-9:1]\n";
    AnchorTable t = read("MaxObject=1\n" + header + "5:1,1,1,1;\n");
    ASSERT_EQ(t.size(), 1u);
    EXPECT_EQ(t[0].Name, std::string(40, 'n'));
    EXPECT_EQ(t[0].StartFrame, 0);
    EXPECT_EQ(t[0].EndFrame, 0);
    EXPECT_EQ(t[0].EntryCount(), 0u);
}

TEST_F(AnchorFileTest, HostileCountsStayBounded) {
    // A count far beyond what the file holds gets the slack of the entry budget only.
    AnchorTable t = read("MaxObject=3\n[A:a:0-1:2000000000]\n[B:b:0-1:-7]\n[C:c:0-1:5]\n");
    ASSERT_EQ(t.size(), 3u);
    EXPECT_LE(t[0].EntryCount(), kEntrySlack + 10);
    EXPECT_EQ(t[1].EntryCount(), 0u);
    EXPECT_EQ(t[2].EntryCount(), 0u); // the first section took the whole budget

    // Many sections that each announce a lot share one budget.
    std::string many = "MaxObject=1000\n";
    for (int i = 0; i < 1000; ++i)
        many += "[I:n:0-1:99999999]\n";
    t = read(many);
    std::size_t total = 0;
    for (const auto& r : t.records())
        total += r.EntryCount();
    EXPECT_LE(total, kEntrySlack + many.size() / kBytesPerEntry);

    // Overflowing numbers saturate instead of wrapping.
    t = read("MaxObject=99999999999999999999\n[A:a:99999999999-5:1]\n99999999999:1,2,3,4;\n");
    ASSERT_EQ(t.size(), 1u);
    EXPECT_EQ(t[0].StartFrame, INT32_MAX);
    EXPECT_EQ(t[0].Entries[0].Frame, INT32_MAX);
}

TEST_F(AnchorFileTest, WellFormedFilesWithManyEntriesReadWhole) {
    std::string content = "MaxObject=1\n\n[A:a:0-199999:200000]\n";
    for (int f = 0; f < 200000; ++f)
        content += std::to_string(f) + ":0,0,1,1;\n";
    AnchorTable t = read(content);
    ASSERT_EQ(t.size(), 1u);
    ASSERT_EQ(t[0].EntryCount(), 200000u);
    EXPECT_EQ(t[0].Entries.back().Frame, 199999);
}

TEST_F(AnchorFileTest, OutOfMemoryWhileReading) {
    dir.write("clip.obj", kExampleFile);
    for (int allowed = 0; allowed < 3; ++allowed) { // records, first and second section
        qxm::ScriptedPrompter prompter;
        AnchorTable t;
        t.XScale = t.YScale = 1.0;
        ScopedAllocFailure fail(allowed);
        EXPECT_EQ(ReadAnchorFile(t, dir.path(), "clip"), ReadStatus::NoMemory) << allowed;
        EXPECT_EQ(t.size(), 0u);
        EXPECT_EQ(prompter.texts(), std::vector<std::string>{"No Memory Available."});
        EXPECT_EQ(prompter.prompts[0].caption, "Movie Marquill");
    }
}
