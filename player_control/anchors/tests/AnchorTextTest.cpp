#include "player_control/anchors/AnchorText.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

#include "AnchorTestUtil.h"
#include "platform/codepage/CodePage.h"
#include "player_control/anchors/DefAnchor.h"

using namespace qxm;
using qxm::testing_util::TempDir;

namespace {

TEST(AnchorText, CutNeverSplitsACharacter) {
    codepage::ScopedCharset utf8(codepage::Charset::Utf8);
    EXPECT_EQ(cutAnchorText("0123456789AB", 9), "012345678");
    EXPECT_EQ(cutAnchorText("short", 9), "short");
    EXPECT_EQ(cutAnchorText("abcdefgh\xC3\xA9", 9), "abcdefgh");        // 2-byte char at 9..10
    EXPECT_EQ(cutAnchorText("abcdefg\xC3\xA9x", 9), "abcdefg\xC3\xA9"); // fits exactly
    EXPECT_EQ(cutAnchorText("\xE6\x98\xA0\xE7\x94\xBB\xE6\x98\xA0\xE7\x94\xBB", 9),
              "\xE6\x98\xA0\xE7\x94\xBB\xE6\x98\xA0");
    EXPECT_EQ(cutAnchorText("\xE6\x98\xA0\xE7\x94\xBB\xE6\x98\xA0\xE7\x94\xBB", 8),
              "\xE6\x98\xA0\xE7\x94\xBB");
    // Bytes that form no character are cut as single bytes.
    EXPECT_EQ(cutAnchorText("abcdefgh\xE6\x98", 9), "abcdefgh\xE6");
    EXPECT_EQ(cutAnchorText("\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF", 9).size(), 9u);
}

TEST(AnchorText, CutFollowsTheActiveCharset) {
    const std::string text = "abcdefgh\x82\xA0x"; // a CP932 double-byte character at 8..9
    {
        codepage::ScopedCharset sjis(codepage::Charset::Cp932);
        EXPECT_EQ(cutAnchorText(text, 9), "abcdefgh");
        EXPECT_EQ(cutAnchorText(text, 10), "abcdefgh\x82\xA0");
        EXPECT_EQ(anchorFilePath("/m/\x95\x5C.avi"), "/m/\x95\x5C.obj");
    }
    codepage::ScopedCharset utf8(codepage::Charset::Utf8);
    EXPECT_EQ(cutAnchorText(text, 9), "abcdefgh\x82"); // no UTF-8 character there
}

TEST(AnchorText, NumberConversion) {
    EXPECT_EQ(parseAnchorNumber("42"), 42);
    EXPECT_EQ(parseAnchorNumber("  \t-12abc"), -12);
    EXPECT_EQ(parseAnchorNumber("+7]"), 7);
    EXPECT_EQ(parseAnchorNumber(""), 0);
    EXPECT_EQ(parseAnchorNumber("-"), 0);
    EXPECT_EQ(parseAnchorNumber("x12"), 0);
    EXPECT_EQ(parseAnchorNumber("- 5"), 0);
    EXPECT_EQ(parseAnchorNumber("2147483647"), 2147483647);
    EXPECT_EQ(parseAnchorNumber("-2147483648"), -2147483647 - 1);
    EXPECT_EQ(parseAnchorNumber("2147483648"), 2147483647);
    EXPECT_EQ(parseAnchorNumber("-99999999999999999999999"), -2147483647 - 1);
    EXPECT_EQ(parseAnchorNumber("000000000000000000000012"), 12);
}

TEST(AnchorText, AnchorFileOfAMoviePath) {
    EXPECT_EQ(anchorFilePath("/media/clip.mpg"), "/media/clip.obj");
    EXPECT_EQ(anchorFilePath("/media.old/clip"), "/media.old/clip.obj");
    EXPECT_EQ(anchorFilePath("clip.tar.gz"), "clip.tar.obj");
    EXPECT_EQ(anchorFilePath("/a/b."), "/a/b.obj");
    EXPECT_EQ(anchorFilePath("file:///a.b/clip"), "file:///a.b/clip.obj");
    EXPECT_EQ(anchorFilePath("file:///a.b/clip.avi"), "file:///a.b/clip.obj");
    EXPECT_EQ(anchorFilePath("/m/\xE6\x98\xA0\xE7\x94\xBB.avi"), "/m/\xE6\x98\xA0\xE7\x94\xBB.obj");
    EXPECT_EQ(anchorFilePath(""), ".obj");
}

class AnchorLoadPaths : public ::testing::Test {
protected:
    void SetUp() override {
        path = dir.write("my clip.obj", "[a:b:0-9:1]\n0:0,0,5,5;\n");
        bad = dir.write("bad.obj", "[a:b:0-9:1]\n0:0,0,5,5;\n1:0,0,5,5;\n");
        ASSERT_EQ(loadGood(), 0);
    }
    int loadGood() {
        const int r = s.LoadAnchors(path);
        EXPECT_EQ(s.Count(), 1);
        return r;
    }
    TempDir dir;
    std::string path, bad;
    CDefAnchor s;
};

TEST_F(AnchorLoadPaths, PlainPathAndFileUrls) {
    const std::string folder = dir.path().string();
    for (const std::string& url :
         {"file://" + folder + "/my%20clip.obj", "file://localhost" + folder + "/my%20clip.obj",
          "FILE:" + folder + "/my clip.obj"}) {
        SCOPED_TRACE(url);
        s.Clear();
        EXPECT_EQ(s.LoadAnchors(url), 0);
        EXPECT_EQ(s.ID(0), "a");
    }
}

TEST_F(AnchorLoadPaths, WhatCannotBeOpenedGivesNoAnchorsAndNoError) {
    const std::string folder = dir.path().string();
    for (const std::string& p :
         {folder + "/missing.obj", "file://" + folder + "/missing.obj",
          "file://elsewhere" + folder + "/my%20clip.obj",
          std::string("http://example.invalid/clip.obj"), folder, std::string{}}) {
        SCOPED_TRACE(p);
        ASSERT_EQ(loadGood(), 0);
        EXPECT_EQ(s.LoadAnchors(p), 0);
        EXPECT_EQ(s.Count(), 0);
    }
}

TEST_F(AnchorLoadPaths, OnlyRegularFilesAreRead) {
    const std::string fifo = (dir.path() / "pipe.obj").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(s.LoadAnchors(fifo), 0); // returns at once instead of waiting for a writer
    EXPECT_EQ(s.Count(), 0);
    EXPECT_EQ(s.LoadAnchors("/dev/zero"), 0);
    std::filesystem::create_symlink(path, dir.path() / "link.obj");
    EXPECT_EQ(s.LoadAnchors((dir.path() / "link.obj").string()), 0);
    EXPECT_EQ(s.Count(), 1);
}

TEST_F(AnchorLoadPaths, MalformedFileReportsFormatError) {
    EXPECT_EQ(s.LoadAnchors(bad), ANCHOR_ERR_FORMAT);
    EXPECT_EQ(s.Count(), 0);
    EXPECT_EQ(s.LoadAnchors("file://" + bad), ANCHOR_ERR_FORMAT);
}

TEST_F(AnchorLoadPaths, OtherSchemesAreTriedAsFileNames) {
    dir.write("ftp:clip.obj", "[ftp:b:0-9:1]\n");
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    const int r = s.LoadAnchors("ftp:clip.obj");
    std::filesystem::current_path(previous);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(s.ID(0), "ftp");
}

} // namespace
