#include "platform/propertybag/TextPropertyBag.h"
#include "platform/files/TextFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

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

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

} // namespace

TEST(TextPropertyBag, ReadsAndWritesTextsByNameWithoutCase) {
    auto bag = parsed("AutoPlay=False\n");
    Variant v("untouched");
    EXPECT_EQ(bag->read("MovieFile", v), E_INVALIDARG);
    EXPECT_EQ(v, Variant("untouched"));
    ASSERT_EQ(bag->read("AUTOPLAY", v), S_OK);
    EXPECT_EQ(v, Variant("False"));

    ASSERT_EQ(bag->write("Rate", Variant(-7)), S_OK);
    ASSERT_EQ(bag->write("Scale", Variant(2.5)), S_OK);
    ASSERT_EQ(bag->write("autoplay", Variant(true)), S_OK); // replaced where it stands
    EXPECT_EQ(bag->entries(), (Entries{{"AutoPlay", "True"}, {"Rate", "-7"}, {"Scale", "2.5"}}));
    for (std::string_view bad : {"", "a b", "a=b", "#x", ";x", "x\n", "x\x7f"})
        EXPECT_EQ(bag->write(bad, Variant(1)), E_INVALIDARG) << bad;
    EXPECT_EQ(bag->entries().size(), 3u);
}

TEST(TextPropertyBag, ParseSkipsCommentsAndTrimsBlanks) {
    auto bag = parsed("\xEF\xBB\xBF# heading\r\n\r\n   ; comment\n  \t\n"
                      "  MovieFile \t=  /movies/a b.mpg  \r\n"
                      "Expr= a=b=c\nBlank=\nHash=#not a comment\n"
                      "Quoted =  \"  two\\tparts \\\"q\\\" \\\\ \\r\\n\"  \n"
                      "Last=no line feed");
    EXPECT_EQ(bag->entries(), (Entries{{"MovieFile", "/movies/a b.mpg"},
                                       {"Expr", "a=b=c"},
                                       {"Blank", ""},
                                       {"Hash", "#not a comment"},
                                       {"Quoted", "  two\tparts \"q\" \\ \r\n"},
                                       {"Last", "no line feed"}}));
}

TEST(TextPropertyBag, FormatQuotesOnlyWhatWouldNotReadBackAndRoundTripsAnyBytes) {
    // CP932 text whose second bytes are a backslash, and UTF-8 text, pass through.
    const std::string cp932 = "C:\x83\x5c\x95\x5c.avi", utf8 = "\xe6\x98\xa0\xe7\x94\xbb";
    const Entries tricky = {{"Plain", "/a b/c.mpg"}, {"Eq", "x=y"},   {"Inner", "a \"q\" b\\c"},
                            {"Empty", ""},           {"Lead", " x"},  {"Trail", "x\t"},
                            {"Quote", "\"x"},        {"Ctl", "a\nb"}, {"Cursor", cp932},
                            {utf8, " " + utf8}};
    auto bag = makeObject<TextPropertyBag>();
    for (const auto& e : tricky)
        ASSERT_EQ(bag->write(e.name, Variant(e.value)), S_OK);
    EXPECT_EQ(bag->format(), "Plain=/a b/c.mpg\nEq=x=y\nInner=a \"q\" b\\c\nEmpty=\"\"\n"
                             "Lead=\" x\"\nTrail=\"x\\t\"\nQuote=\"\\\"x\"\nCtl=\"a\\nb\"\n"
                             "Cursor=" +
                                 cp932 + "\n" + utf8 + "=\" " + utf8 + "\"\n");
    EXPECT_EQ(parsed(bag->format())->entries(), tricky);

    std::mt19937 rng(20261208);
    const std::string alphabet = " \t\"\\=#;\r\n\x01\x7f\x83\x5c";
    for (int i = 0; i < 300; ++i) {
        std::string value(rng() % 12, '\0');
        for (char& c : value)
            c = rng() % 2 ? alphabet[rng() % alphabet.size()] : char(rng() % 256);
        ASSERT_EQ(bag->write("v" + std::to_string(i), Variant(value)), S_OK);
    }
    EXPECT_EQ(parsed(bag->format())->entries(), bag->entries());
}

TEST(TextPropertyBag, ErrorsNameTheLineAndLeaveTheBagAlone) {
    const std::pair<std::string, std::string> cases[] = {
        {"a=1\nnoequals\n", "line 2: no '=' after the name \"noequals\""},
        {"a=1\r\n\r\n  =x\r\n", "line 3: the name before '=' is empty"},
        {"two words=1", "line 1: the name \"two words\" holds a blank"},
        {"a\x01=1", "line 1: the name \"a\x01\" holds a control character"},
        {"a=\"open\\\"", "line 1: the quoted value does not close on its line"},
        {"a=\"x\"\nb=\"line\nbreak\"", "line 2: the quoted value does not close on its line"},
        {"a=\"bad \\q\"", "line 1: unknown escape \\q in the quoted value"},
        {"a=\"x\" y", "line 1: text after the closing quote"},
        {"Name=1\n# c\nNAME=2\n", "line 3: \"NAME\" is given twice (first on line 1)"},
    };
    for (const auto& [text, expected] : cases) {
        auto bag = parsed("Keep=me\n");
        std::string error;
        EXPECT_EQ(TextPropertyBag::parse(text, *bag, &error), STG_E_READFAULT) << text;
        EXPECT_EQ(error, expected);
        EXPECT_EQ(bag->entries(), (Entries{{"Keep", "me"}}));
    }
}

TEST(TextPropertyBag, ANameCannotStartWithAByteOrderMark) {
    // As the first line such a name would lose the mark when the text is read back.
    auto bag = parsed("");
    EXPECT_EQ(bag->write("\xEF\xBB\xBFName", Variant(std::string("1"))), E_INVALIDARG);
    std::string error;
    EXPECT_EQ(TextPropertyBag::parse("a=1\n\xEF\xBB\xBFName=2\n", *bag, &error), STG_E_READFAULT);
    EXPECT_EQ(error, "line 2: the name \"\xEF\xBB\xBFName\" starts with a byte order mark");
}

TEST(TextPropertyBag, AddLineAddsOrReplacesOneEntry) {
    auto bag = parsed("AutoPlay=True\n");
    std::string error;
    ASSERT_EQ(bag->addLine("autoplay = False\r", &error), S_OK) << error;
    ASSERT_EQ(bag->addLine("MovieFile=\" a.mpg\"", &error), S_OK) << error;
    EXPECT_EQ(bag->entries(), (Entries{{"AutoPlay", "False"}, {"MovieFile", " a.mpg"}}));
    for (std::string_view bad : {"", "  # comment", "novalue", "a=\"x", "a=1\nb=2"}) {
        error.clear();
        EXPECT_EQ(bag->addLine(bad, &error), STG_E_READFAULT) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
    EXPECT_EQ(bag->entries().size(), 2u);
}

TEST(TextPropertyBag, FilesAreReplacedAtomicallyAndFailuresSayWhy) {
    std::string tmpl = (fs::temp_directory_path() / "qxmbag-XXXXXX").string();
    const std::string dir = mkdtemp(tmpl.data());
    auto names = [&] {
        std::vector<std::string> out;
        for (const auto& e : fs::directory_iterator(dir))
            out.push_back(e.path().filename().string());
        return out;
    };
    const std::string path = dir + "/params.txt";
    auto bag = parsed("A=1\nB=\" two \"\n");
    std::string error;
    ASSERT_EQ(bag->writeFile(path, &error), S_OK) << error;
    ASSERT_EQ(::chmod(path.c_str(), 0600), 0);
    ASSERT_EQ(bag->write("C", Variant("three")), S_OK);
    ASSERT_EQ(bag->writeFile(path, &error), S_OK) << error;
    EXPECT_EQ(slurp(path), bag->format());
    EXPECT_EQ(names(), std::vector<std::string>{"params.txt"}); // no temporary left
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u); // the replaced file keeps its permissions
    auto back = makeObject<TextPropertyBag>();
    ASSERT_EQ(TextPropertyBag::readFile(path, *back, &error), S_OK) << error;
    EXPECT_EQ(back->entries(), bag->entries());

    // Failed writes leave the old contents and nothing else.
    EXPECT_EQ(bag->writeFile(dir + "/no/such/params.txt", &error), STG_E_WRITEFAULT);
    EXPECT_NE(error.find("No such file or directory"), std::string::npos) << error;
    fs::create_directory(dir + "/folder"); // refused before anything is written
    EXPECT_EQ(bag->writeFile(dir + "/folder", &error), STG_E_WRITEFAULT);
    EXPECT_NE(error.find("it is a folder"), std::string::npos) << error;
    EXPECT_EQ(names().size(), 2u);
    EXPECT_TRUE(fs::is_empty(dir + "/folder"));

    EXPECT_EQ(TextPropertyBag::readFile(dir + "/missing.txt", *back, &error), STG_E_FILENOTFOUND);
    EXPECT_NE(error.find("missing.txt: No such file or directory"), std::string::npos) << error;
    EXPECT_EQ(TextPropertyBag::readFile(dir + "/folder", *back, &error), STG_E_READFAULT);
    EXPECT_NE(error.find("Is a directory"), std::string::npos) << error;
    std::ofstream(dir + "/bad.txt") << "A=1\n\nB\n";
    EXPECT_EQ(TextPropertyBag::readFile(dir + "/bad.txt", *back, &error), STG_E_READFAULT);
    EXPECT_EQ(error, dir + "/bad.txt: line 3: no '=' after the name \"B\"");
    EXPECT_EQ(back->entries(), bag->entries());
    fs::remove_all(dir);
}

// What stands at the path decides what a replacement may do: a file or nothing is written, a
// link is followed to the file it names and stays a link, anything else is left alone.
TEST(TextFiles, ReplacingFollowsLinksAndRefusesWhatIsNotAFile) {
    std::string tmpl = (fs::temp_directory_path() / "qxmrepl-XXXXXX").string();
    const std::string dir = mkdtemp(tmpl.data());
    fs::create_directory(dir + "/sub");
    std::ofstream(dir + "/sub/real.txt") << "old";
    fs::create_symlink("sub/real.txt", dir + "/rel");     // relative, in the link's folder
    fs::create_symlink(dir + "/rel", dir + "/chain");     // a link to a link
    fs::create_symlink("sub/new.txt", dir + "/dangling"); // names a file not there yet
    fs::create_symlink("loop2", dir + "/loop1");
    fs::create_symlink("loop1", dir + "/loop2");
    ASSERT_EQ(::mkfifo((dir + "/fifo").c_str(), 0600), 0);
    fs::create_symlink("fifo", dir + "/tofifo");

    struct Case {
        const char* name;
        int code;
        const char* written; // the regular file that must hold the text afterwards
    };
    const Case cases[] = {
        {"plain.txt", 0, "plain.txt"},  {"sub/real.txt", 0, "sub/real.txt"},
        {"rel", 0, "sub/real.txt"},     {"chain", 0, "sub/real.txt"},
        {"dangling", 0, "sub/new.txt"}, {"fifo", EINVAL, nullptr},
        {"tofifo", EINVAL, nullptr},    {"sub", EISDIR, nullptr},
        {"loop1", ELOOP, nullptr},
    };
    for (const Case& c : cases) {
        std::string what;
        const std::string text = std::string("new ") + c.name;
        EXPECT_EQ(replaceFileAtomically(dir + "/" + c.name, text, &what), c.code) << c.name;
        if (c.written) {
            EXPECT_EQ(slurp(dir + "/" + c.written), text) << c.name;
        } else {
            EXPECT_NE(what.find("will not replace"), std::string::npos) << what;
        }
    }
    for (const char* link : {"rel", "chain", "dangling", "tofifo"})
        EXPECT_TRUE(fs::is_symlink(dir + "/" + link)) << link;
    EXPECT_TRUE(fs::is_fifo(dir + "/fifo"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir + "/sub"), {}), 2); // no temporaries
    fs::remove_all(dir);
}
