#include "platform/component/TextPropertyBag.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <sys/stat.h>

using namespace qxm;
namespace fs = std::filesystem;

namespace {

using Entries = std::vector<TextPropertyBag::Entry>;

ComPtr<TextPropertyBag> parsed(std::string_view text) {
    auto bag = makeObject<TextPropertyBag>();
    std::string error;
    EXPECT_EQ(TextPropertyBag::parse(text, *bag, &error), S_OK) << error;
    return bag;
}

class TempDir {
public:
    TempDir() {
        std::string tmpl = (fs::temp_directory_path() / "qxmbag-XXXXXX").string();
        dir_ = mkdtemp(tmpl.data());
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    std::string path(const std::string& name) const { return dir_ + "/" + name; }
    std::vector<std::string> names() const {
        std::vector<std::string> out;
        for (const auto& e : fs::directory_iterator(dir_))
            out.push_back(e.path().filename().string());
        std::sort(out.begin(), out.end());
        return out;
    }

private:
    std::string dir_;
};

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

} // namespace

TEST(TextPropertyBag, ReadGivesTheTextAndLeavesOutAloneWhenAbsent) {
    auto bag = parsed("AutoPlay=False\nPlaybackRate=2\n");
    Variant v;
    ASSERT_EQ(bag->read("autoplay", v), S_OK);
    EXPECT_EQ(v, Variant("False"));
    ASSERT_EQ(bag->read("PLAYBACKRATE", v), S_OK);
    EXPECT_EQ(v, Variant("2"));
    Variant untouched("x");
    EXPECT_EQ(bag->read("MovieFile", untouched), E_INVALIDARG);
    EXPECT_EQ(untouched, Variant("x"));
}

TEST(TextPropertyBag, WriteStoresTextAndReplacesInPlaceWithoutCase) {
    auto bag = makeObject<TextPropertyBag>();
    ASSERT_EQ(bag->write("AutoPlay", Variant(true)), S_OK);
    ASSERT_EQ(bag->write("Rate", Variant(-7)), S_OK);
    ASSERT_EQ(bag->write("Scale", Variant(2.5)), S_OK);
    ASSERT_EQ(bag->write("Empty", Variant()), S_OK);
    ASSERT_EQ(bag->write("AUTOPLAY", Variant(false)), S_OK);
    EXPECT_EQ(bag->entries(),
              (Entries{{"AutoPlay", "False"}, {"Rate", "-7"}, {"Scale", "2.5"}, {"Empty", ""}}));
    for (std::string_view bad : {"", "a b", "a\tb", "a=b", "#x", ";x", "x\n", "x\x7f"})
        EXPECT_EQ(bag->write(bad, Variant(1)), E_INVALIDARG) << bad;
    EXPECT_EQ(bag->entries().size(), 4u);
}

TEST(TextPropertyBag, ParseSkipsCommentsAndTrimsBlanks) {
    auto bag = parsed("\xEF\xBB\xBF# heading\r\n"
                      "\r\n"
                      "   ; another comment\n"
                      "  \t\n"
                      "  MovieFile \t=  /movies/a b.mpg  \r\n"
                      "Expr= a=b=c\n"
                      "Blank=\n"
                      "Quoted =  \"  two\\tparts \\\"q\\\" \\\\ \\r\\n\"  \n"
                      "Hash=#not a comment\n"
                      "Last=no line feed");
    EXPECT_EQ(bag->entries(), (Entries{{"MovieFile", "/movies/a b.mpg"},
                                       {"Expr", "a=b=c"},
                                       {"Blank", ""},
                                       {"Quoted", "  two\tparts \"q\" \\ \r\n"},
                                       {"Hash", "#not a comment"},
                                       {"Last", "no line feed"}}));
    // Parsing replaces what the bag held.
    ASSERT_EQ(TextPropertyBag::parse("# nothing\n", *bag, nullptr), S_OK);
    EXPECT_TRUE(bag->entries().empty());
}

TEST(TextPropertyBag, FormatQuotesExactlyWhenTheRawFormWouldNotReadBack) {
    auto bag = makeObject<TextPropertyBag>();
    const Entries entries = {{"Plain", "/a b/c.mpg"},
                             {"Eq", "x=y"},
                             {"Inner", "a \"q\" b\\c"},
                             {"Empty", ""},
                             {"Lead", " x"},
                             {"Trail", "x\t"},
                             {"Quote", "\"x"},
                             {"Ctl", "a\nb\rc\td\x01"},
                             {"Comment", "#x"}};
    for (const auto& e : entries)
        ASSERT_EQ(bag->write(e.name, Variant(e.value)), S_OK);
    EXPECT_EQ(bag->format(), "Plain=/a b/c.mpg\n"
                             "Eq=x=y\n"
                             "Inner=a \"q\" b\\c\n"
                             "Empty=\"\"\n"
                             "Lead=\" x\"\n"
                             "Trail=\"x\\t\"\n"
                             "Quote=\"\\\"x\"\n"
                             "Ctl=\"a\\nb\\rc\\td\x01\"\n"
                             "Comment=#x\n");
    EXPECT_EQ(parsed(bag->format())->entries(), entries);
}

TEST(TextPropertyBag, FormatAndParseRoundTripAnyBytes) {
    std::mt19937 rng(20261208);
    const std::string alphabet = " \t\"\\=#;\r\n\x01\x7f\x80\xff\x83\x5c"
                                 "abcXYZ\xe3\x81\x82";
    auto bag = makeObject<TextPropertyBag>();
    for (int i = 0; i < 300; ++i) {
        std::string value;
        const int len = int(rng() % 12);
        for (int k = 0; k < len; ++k)
            value += rng() % 4 ? alphabet[rng() % alphabet.size()] : char(rng() % 256);
        ASSERT_EQ(bag->write("v" + std::to_string(i), Variant(value)), S_OK);
    }
    auto back = parsed(bag->format());
    EXPECT_EQ(back->entries(), bag->entries());
}

TEST(TextPropertyBag, MultibyteNamesAndValuesPassThrough) {
    // UTF-8, and CP932 whose second bytes may be a backslash ("\x83\x5c") or a capital letter.
    const std::string utf8Name = "\xe5\x8b\x95\xe7\x94\xbb";
    const std::string utf8 = "/\xe6\x98\xa0\xe7\x94\xbb/\xe3\x83\x86\xe3\x82\xb9\xe3\x83\x88.mpg";
    const std::string cp932 = "C:\x83\x5c\x83\x74\x83\x67\x95\x5c.avi";
    auto bag = parsed(utf8Name + "=" + utf8 + "\nCursor=" + cp932 + "\n");
    EXPECT_EQ(bag->entries(), (Entries{{utf8Name, utf8}, {"Cursor", cp932}}));
    ASSERT_EQ(bag->write("Lead", Variant(" " + cp932)), S_OK);
    EXPECT_EQ(parsed(bag->format())->entries(), bag->entries());
}

TEST(TextPropertyBag, ParseErrorsNameTheLineAndLeaveTheBagAlone) {
    struct Case {
        std::string text;
        std::string error;
    };
    const Case cases[] = {
        {"a=1\nnoequals\n", "line 2: no '=' after the name \"noequals\""},
        {"a=1\r\n\r\n  =x\r\n", "line 3: the name before '=' is empty"},
        {"two words=1", "line 1: the name \"two words\" holds a blank"},
        {"a\x01=1", "line 1: the name \"a\x01\" holds a control character"},
        {"a=\"open", "line 1: the quoted value does not close on its line"},
        {"a=\"open\\\"", "line 1: the quoted value does not close on its line"},
        {"a=\"x\"\nb=\"line\nbreak\"", "line 2: the quoted value does not close on its line"},
        {"a=\"bad \\q\"", "line 1: unknown escape \\q in the quoted value"},
        {"a=\"x\" y", "line 1: text after the closing quote"},
        {"Name=1\n# c\nNAME=2\n", "line 3: \"NAME\" is given twice (first on line 1)"},
    };
    for (const Case& c : cases) {
        auto bag = parsed("Keep=me\n");
        std::string error;
        EXPECT_EQ(TextPropertyBag::parse(c.text, *bag, &error), STG_E_READFAULT) << c.text;
        EXPECT_EQ(error, c.error);
        EXPECT_EQ(bag->entries(), (Entries{{"Keep", "me"}}));
    }
}

TEST(TextPropertyBag, AddLineAddsOrReplacesOneEntry) {
    auto bag = parsed("AutoPlay=True\nRate=1\n");
    std::string error;
    ASSERT_EQ(bag->addLine("autoplay = False\r", &error), S_OK) << error;
    ASSERT_EQ(bag->addLine("MovieFile=\" a.mpg\"", &error), S_OK) << error;
    EXPECT_EQ(bag->entries(),
              (Entries{{"AutoPlay", "False"}, {"Rate", "1"}, {"MovieFile", " a.mpg"}}));
    for (std::string_view bad : {"", "  # comment", "novalue", "a b=1", "a=\"x", "a=1\nb=2"}) {
        error.clear();
        EXPECT_EQ(bag->addLine(bad, &error), STG_E_READFAULT) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
    EXPECT_EQ(bag->entries().size(), 3u);
}

TEST(TextPropertyBagFile, WriteThenReadKeepsEntriesAndReplacesAtomically) {
    TempDir dir;
    const std::string path = dir.path("params.txt");
    auto bag = parsed("A=1\nB=\" two \"\n");
    std::string error;
    ASSERT_EQ(bag->writeFile(path, &error), S_OK) << error;
    ASSERT_EQ(::chmod(path.c_str(), 0600), 0);

    ASSERT_EQ(bag->write("C", Variant("three")), S_OK);
    ASSERT_EQ(bag->writeFile(path, &error), S_OK) << error;
    EXPECT_EQ(slurp(path), bag->format());
    EXPECT_EQ(dir.names(), std::vector<std::string>{"params.txt"}); // no temporary left
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u); // the replaced file's permissions stay

    auto back = makeObject<TextPropertyBag>();
    ASSERT_EQ(TextPropertyBag::readFile(path, *back, &error), S_OK) << error;
    EXPECT_EQ(back->entries(), bag->entries());
}

TEST(TextPropertyBagFile, ReadFailuresSayWhy) {
    TempDir dir;
    auto bag = parsed("Keep=me\n");
    std::string error;
    EXPECT_EQ(TextPropertyBag::readFile(dir.path("missing.txt"), *bag, &error), STG_E_FILENOTFOUND);
    EXPECT_NE(error.find("missing.txt: No such file or directory"), std::string::npos) << error;

    fs::create_directory(dir.path("folder"));
    EXPECT_EQ(TextPropertyBag::readFile(dir.path("folder"), *bag, &error), STG_E_READFAULT);
    EXPECT_NE(error.find("Is a directory"), std::string::npos) << error;

    std::ofstream(dir.path("bad.txt")) << "A=1\n\nB\n";
    EXPECT_EQ(TextPropertyBag::readFile(dir.path("bad.txt"), *bag, &error), STG_E_READFAULT);
    EXPECT_EQ(error, dir.path("bad.txt") + ": line 3: no '=' after the name \"B\"");
    EXPECT_EQ(bag->entries(), (Entries{{"Keep", "me"}}));
}

TEST(TextPropertyBagFile, FailedWritesLeaveNothingBehind) {
    TempDir dir;
    auto bag = parsed("A=1\n");
    std::string error;
    EXPECT_EQ(bag->writeFile(dir.path("no/such/folder/params.txt"), &error), STG_E_WRITEFAULT);
    EXPECT_NE(error.find("No such file or directory"), std::string::npos) << error;
    EXPECT_TRUE(dir.names().empty());

    // A folder where the file should go: the temporary is written, the rename fails, and the
    // temporary is removed again.
    fs::create_directory(dir.path("params.txt"));
    std::ofstream(dir.path("params.txt/inside")) << "old";
    EXPECT_EQ(bag->writeFile(dir.path("params.txt"), &error), STG_E_WRITEFAULT);
    EXPECT_NE(error.find("cannot replace"), std::string::npos) << error;
    EXPECT_EQ(dir.names(), std::vector<std::string>{"params.txt"});
    EXPECT_EQ(slurp(dir.path("params.txt/inside")), "old");

    EXPECT_EQ(bag->writeFile(dir.path(""), &error), STG_E_WRITEFAULT);
}
