#include "editor/anchors/AnchorRules.h"
#include "editor/anchors/AnchorPaths.h"
#include "editor/anchors/AnchorTable.h"
#include "platform/codepage/CodePage.h"

#include <gtest/gtest.h>

using namespace qxm::anchors;
using qxm::codepage::Charset;
using qxm::codepage::ScopedCharset;

namespace {
const std::string kSjis = "\x82\xA0";     // one double-byte character of CP932
const std::string kUtf8 = "\xE3\x81\x82"; // one three-byte character of UTF-8
std::string times(const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i)
        out += s;
    return out;
}
} // namespace

TEST(AnchorRules, IdCharacters) {
    ScopedCharset cs(Charset::Cp932);
    EXPECT_EQ(CheckAnchorID("AZaz09"), TextCheck::Ok);
    for (char c : std::string("!#$%&()-^_{}~"))
        EXPECT_EQ(CheckAnchorID(std::string("a") + c), TextCheck::Ok) << c;
    for (char c : std::string(" :,.+=[];'`\"*/\\<>?@|"))
        EXPECT_EQ(CheckAnchorID(std::string("a") + c), TextCheck::InvalidChar) << c;
    EXPECT_EQ(CheckAnchorID("a\t"), TextCheck::InvalidChar);
    EXPECT_EQ(CheckAnchorID(""), TextCheck::Empty);
    EXPECT_EQ(CheckAnchorID("0123456789"), TextCheck::Ok);
    EXPECT_EQ(CheckAnchorID("0123456789A"), TextCheck::TooLong);
}

TEST(AnchorRules, IdMultibyteOnCp932) {
    ScopedCharset cs(Charset::Cp932);
    EXPECT_EQ(CheckAnchorID(times(kSjis, 5)), TextCheck::Ok);       // 10 bytes
    EXPECT_EQ(CheckAnchorID(times(kSjis, 10)), TextCheck::TooLong); // 20 bytes
    EXPECT_EQ(CheckAnchorID("A" + times(kSjis, 5)), TextCheck::TooLong);
    EXPECT_EQ(CheckAnchorID("\xB1\xB2\xDF"), TextCheck::Ok);   // half-width katakana
    EXPECT_EQ(CheckAnchorID("\x83\x5C"), TextCheck::Ok);       // trail byte '\'
    EXPECT_EQ(CheckAnchorID("A\x82"), TextCheck::InvalidChar); // lead byte alone
    EXPECT_EQ(CheckAnchorID("A\x80"), TextCheck::InvalidChar);
    EXPECT_EQ(CheckAnchorID("A\xFD"), TextCheck::InvalidChar);
}

TEST(AnchorRules, IdMultibyteOnUtf8) {
    ScopedCharset cs(Charset::Utf8);
    EXPECT_EQ(CheckAnchorID(times(kUtf8, 3)), TextCheck::Ok); // 9 bytes
    EXPECT_EQ(CheckAnchorID(times(kUtf8, 4)), TextCheck::TooLong);
    EXPECT_EQ(CheckAnchorID("\xB1"), TextCheck::InvalidChar); // no katakana bytes on UTF-8
    EXPECT_EQ(CheckAnchorID("a\xE3\x81"), TextCheck::InvalidChar);
}

TEST(AnchorRules, NameCharacters) {
    ScopedCharset cs(Charset::Cp932);
    EXPECT_EQ(CheckAnchorName("Red]Car-1[x].;+=!"), TextCheck::Ok);
    EXPECT_EQ(CheckAnchorName("Red Car"), TextCheck::InvalidChar);
    EXPECT_EQ(CheckAnchorName("Red:Car"), TextCheck::InvalidChar);
    EXPECT_EQ(CheckAnchorName("Red,Car"), TextCheck::InvalidChar);
    EXPECT_EQ(CheckAnchorName("Red\nCar"), TextCheck::InvalidChar); // would split the line
    EXPECT_EQ(CheckAnchorName(std::string(40, 'n')), TextCheck::Ok);
    EXPECT_EQ(CheckAnchorName(std::string(41, 'n')), TextCheck::TooLong);
    EXPECT_EQ(CheckAnchorName(times(kSjis, 20)), TextCheck::Ok);
    EXPECT_EQ(CheckAnchorName(times(kSjis, 21)), TextCheck::TooLong);
    EXPECT_EQ(CheckAnchorName(""), TextCheck::Empty);
}

TEST(AnchorRules, NewAnchorChecksComeInTheDialogsOrder) {
    AnchorTable t;
    t.Append("C1", "Car");
    auto msg = [&](std::string_view name, std::string_view id) {
        const NewAnchorProblem p = CheckNewAnchor(t, name, id);
        return std::string(p ? p.message : "") + (p && p.nameField ? "/name" : "");
    };
    EXPECT_EQ(msg("", ""), "Anchor name is not Selected./name");
    EXPECT_EQ(msg("a b", ""), "Anchor ID is not Selected.");
    EXPECT_EQ(msg(std::string(41, 'n'), "C1 x"),
              "The Length of Anchor Name Is Over The Limit./name");
    EXPECT_EQ(msg("a b", "12345678901"), "Anchor ID is too long.");
    EXPECT_EQ(msg("a b", "C:1"), "Including Invalid Characters In Anchor Name./name");
    EXPECT_EQ(msg("ab", "C:1"), "Including Invalid Characters In Anchor ID.");
    EXPECT_EQ(msg("ab", "C1"), "The Same Anchor ID already Exists.");
    EXPECT_EQ(msg("ab", "c1"), "");
    EXPECT_EQ(msg(std::string(40, 'n'), "0123456789"), "");
}

TEST(AnchorPaths, NamesOfTheOpenedFile) {
    const OpenedFileNames n = SplitOpenedPath("/movies/my.clip.avi");
    EXPECT_EQ(n.Folder, "/movies");
    EXPECT_EQ(n.BaseName, "my");
    EXPECT_EQ(n.NameSuffix, ".clip.avi");
    EXPECT_EQ(AnchorFilePath(n.Folder, n.BaseName), "/movies/my.obj");
    EXPECT_EQ(AnchorFilePath(FolderOf("/clip.mob"), "clip"), "/clip.obj");
    EXPECT_EQ(AnchorFilePath(FolderOf("clip.avi"), "clip"), "./clip.obj");
    EXPECT_EQ(SplitOpenedPath("a/b/noext").NameSuffix, "");
    EXPECT_EQ(SplitOpenedPath("a/b/noext").BaseName, "noext");
    EXPECT_EQ(FileNameOf("a/b/"), "");
}
