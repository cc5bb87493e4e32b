#include "platform/profile/PrivateProfile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;
using qxm::profile::PrivateProfile;

namespace {

void writeFile(const fs::path& p, const std::string& text) {
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << text;
}

} // namespace

TEST(PrivateProfile, NamesCompareWithoutCaseAndBlanksAreDropped) {
    auto p = PrivateProfile::parse("  [ QxmTrack ]  \n  SearchWidth   =   12  \nfrAmeStep=3\n");
    EXPECT_EQ(p.value("qxmtrack", "searchwidth"), "12");
    EXPECT_EQ(p.value("QXMTRACK", "FrameStep"), "3");
    EXPECT_FALSE(p.value("qxmtrack", "Missing"));
    EXPECT_FALSE(p.value("other", "FrameStep"));
}

TEST(PrivateProfile, QuotesCommentsAndEmptyValues) {
    auto p = PrivateProfile::parse("[s]\n"
                                   "; a comment=1\n"
                                   "a = \"  quoted  \"\n"
                                   "b='x'\n"
                                   "c=\"unbalanced\n"
                                   "d=\n"
                                   "e = 'mixed\"\n"
                                   "no equals sign\n"
                                   "=nokey\n");
    EXPECT_EQ(p.value("s", "a"), "  quoted  ");
    EXPECT_EQ(p.value("s", "b"), "x");
    EXPECT_EQ(p.value("s", "c"), "\"unbalanced");
    ASSERT_TRUE(p.value("s", "d"));
    EXPECT_EQ(*p.value("s", "d"), "");
    EXPECT_EQ(p.value("s", "e"), "'mixed\"");
    EXPECT_FALSE(p.value("s", "; a comment"));
    EXPECT_FALSE(p.value("s", "no equals sign"));
    // An empty value is not a missing key: the default does not apply.
    EXPECT_EQ(p.getString("s", "d", "dflt", 64), "");
    EXPECT_EQ(p.getString("s", "zz", "dflt", 64), "dflt");
}

TEST(PrivateProfile, CrLfAndLfReadTheSame) {
    auto lf = PrivateProfile::parse("[s]\nk=v 1\nm=2");
    auto crlf = PrivateProfile::parse("[s]\r\nk=v 1\r\nm=2\r\n");
    EXPECT_EQ(lf.value("s", "k"), "v 1");
    EXPECT_EQ(crlf.value("s", "k"), "v 1");
    EXPECT_EQ(lf.value("s", "m"), "2");
    EXPECT_EQ(crlf.value("s", "m"), "2");
    auto bom = PrivateProfile::parse("\xEF\xBB\xBF[s]\r\nk=1\r\n");
    EXPECT_EQ(bom.value("s", "k"), "1");
}

TEST(PrivateProfile, FirstKeyWinsAndSectionsDoNotLeak) {
    auto p = PrivateProfile::parse("k=outside\n[a]\nk=1\nk=2\n[b]\nk=3\n[A]\nj=4\n");
    EXPECT_EQ(p.value("a", "k"), "1");
    EXPECT_EQ(p.value("b", "k"), "3");
    EXPECT_EQ(p.value("a", "j"), "4"); // a repeated section adds to the first
}

TEST(PrivateProfile, ValuesAreCutToTheBuffer) {
    std::string longValue(100, 'x');
    auto p = PrivateProfile::parse("[s]\nk=" + longValue + "\n");
    EXPECT_EQ(p.getString("s", "k", "", 64).size(), 63u);
    EXPECT_EQ(p.getString("s", "k", "", 1), "");
    EXPECT_EQ(p.getString("s", "k", "", 0), "");
    EXPECT_EQ(p.getString("s", "none", "abcdef", 4), "abc"); // the default is cut as well
}

TEST(PrivateProfile, BareNamesLiveInTheConfigFolder) {
    const char* cfg = std::getenv("XDG_CONFIG_HOME");
    ASSERT_NE(cfg, nullptr);
    EXPECT_EQ(qxm::profile::resolvePath("x.ini"), std::string(cfg) + "/qxm/x.ini");
    EXPECT_EQ(qxm::profile::resolvePath("/tmp/x.ini"), "/tmp/x.ini");
    EXPECT_EQ(qxm::profile::resolvePath("sub/x.ini"), "sub/x.ini");

    fs::path file = fs::path(cfg) / "qxm" / "profile-test.ini";
    writeFile(file, "[sec]\r\nname = value\r\n");
    EXPECT_EQ(qxm::profile::getPrivateProfileString("sec", "NAME", "d", 64, "profile-test.ini"),
              "value");
    EXPECT_TRUE(PrivateProfile::load("profile-test.ini").exists());
    fs::remove(file);

    auto missing = PrivateProfile::load("no-such-profile.ini");
    EXPECT_FALSE(missing.exists());
    EXPECT_EQ(missing.getString("sec", "name", "d", 64), "d");

    // Without XDG_CONFIG_HOME the folder is ~/.config.
    std::string saved = cfg;
    unsetenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    EXPECT_EQ(qxm::profile::resolvePath("y.ini"),
              std::string(home ? home : "") + "/.config/qxm/y.ini");
    setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
}
