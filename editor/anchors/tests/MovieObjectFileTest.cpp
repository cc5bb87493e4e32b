#include "editor/anchors/MovieObjectFile.h"
#include "platform/codepage/CodePage.h"
#include "platform/prompter/Prompter.h"

#include "TempFolder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace qxm::anchors;
using qxm::anchors::testdata::TempFolder;

namespace {

constexpr const char* kBadName = "Invalid Movie Filename Description In the Movie Object File";
constexpr const char* kBadStart = "Invalid Starting Frame Description In the Movie Object File";
constexpr const char* kBadEnd = "Invalid Ending Frame Description In the Movie Object File";
constexpr const char* kBadExt = "Invalid Movie File name description in the Movie Object File.";
constexpr const char* kBadRange = "Invalid Frame Description In the Movie Object File";

class MovieObjectFileTest : public ::testing::Test {
protected:
    void SetUp() override { dir.write("clip.avi", "movie"); }

    // Reads a .mob with the given content; returns the message shown ("" for none).
    std::string readMob(const std::string& content, std::optional<MovieObject>* out = nullptr) {
        qxm::ScriptedPrompter prompter;
        const auto result = ReadMovieObjectFile(dir.write("test.mob", content));
        if (out) *out = result;
        EXPECT_LE(prompter.prompts.size(), 1u);
        if (prompter.prompts.empty()) {
            EXPECT_TRUE(result.has_value());
            return "";
        }
        EXPECT_FALSE(result.has_value());
        EXPECT_EQ(prompter.prompts[0].caption, "Movie Marquill");
        EXPECT_EQ(prompter.prompts[0].buttons, qxm::Buttons::Ok);
        return prompter.prompts[0].text;
    }

    TempFolder dir;
};

} // namespace

TEST_F(MovieObjectFileTest, ReadsNameAndRangeWithLowerCasedName) {
    std::optional<MovieObject> mob;
    EXPECT_EQ(readMob("MovieFile=Clip.AVI\r\nStartFrame=10\r\nEndFrame=200\r\n", &mob), "");
    ASSERT_TRUE(mob);
    EXPECT_EQ(mob->MoviePath, dir.file("clip.avi"));
    EXPECT_EQ(mob->StartFrame, 10);
    EXPECT_EQ(mob->EndFrame, 200);

    // LF endings, other lines, blank lines, no final line feed, last occurrence wins,
    // a key recognised by its beginning.
    EXPECT_EQ(readMob("# note\n\nFoo=1\nStartFrame=1\nMovieFileX=clip.avi\nStartFrame=3\n"
                      "EndFrame=4",
                      &mob),
              "");
    EXPECT_EQ(mob->StartFrame, 3);
    EXPECT_EQ(mob->EndFrame, 4);
}

TEST_F(MovieObjectFileTest, MissingFileFailsSilently) {
    qxm::ScriptedPrompter prompter;
    EXPECT_FALSE(ReadMovieObjectFile(dir.file("none.mob")));
    EXPECT_FALSE(ReadMovieObjectFile(dir.path())); // a folder is not a file
    ASSERT_EQ(::mkfifo(dir.file("pipe.mob").c_str(), 0600), 0);
    EXPECT_FALSE(ReadMovieObjectFile(dir.file("pipe.mob"))); // and a pipe is not waited on
    EXPECT_TRUE(prompter.prompts.empty());
}

TEST_F(MovieObjectFileTest, FrameValuesMustBeDigitsOnly) {
    const std::string movie = "MovieFile=clip.avi\n";
    EXPECT_EQ(readMob(movie + "StartFrame= 10\nEndFrame=200\n"), kBadStart);
    EXPECT_EQ(readMob(movie + "StartFrame=+10\nEndFrame=200\n"), kBadStart);
    EXPECT_EQ(readMob(movie + "StartFrame=\nEndFrame=200\n"), kBadStart);
    EXPECT_EQ(readMob(movie + "StartFrame\nEndFrame=200\n"), kBadStart);
    EXPECT_EQ(readMob(movie + "StartFrame=10x\nEndFrame=200\n"), kBadStart);
    EXPECT_EQ(readMob(movie + "EndFrame=200\n"), kBadStart);
    EXPECT_EQ(readMob(movie + "StartFrame=10\nEndFrame=-5\n"), kBadEnd);
    // An invalid EndFrame before a valid StartFrame: the EndFrame is what is reported.
    EXPECT_EQ(readMob(movie + "EndFrame=x\nStartFrame=10\n"), kBadEnd);
    // A later valid occurrence repairs an earlier invalid one, and the other way round.
    EXPECT_EQ(readMob(movie + "StartFrame=x\nStartFrame=1\nEndFrame=2\n"), "");
    EXPECT_EQ(readMob(movie + "StartFrame=1\nStartFrame=x\nEndFrame=2\n"), kBadStart);
}

TEST_F(MovieObjectFileTest, MovieNameChecksInOrder) {
    const std::string range = "StartFrame=1\nEndFrame=2\n";
    EXPECT_EQ(readMob(range), kBadName);
    EXPECT_EQ(readMob("MovieFile=\n" + range), kBadName);
    EXPECT_EQ(readMob("MovieFile=clip.avi\nMovieFile=\n" + range), kBadName);
    // The name is judged before the frames.
    EXPECT_EQ(readMob("StartFrame=x\n"), kBadName);
    EXPECT_EQ(readMob("MovieFile=other.mob\n" + range), kBadExt);
    EXPECT_EQ(readMob("MovieFile=sound.wav\n" + range), kBadExt);
    EXPECT_EQ(readMob("MovieFile=clip\n" + range), kBadExt);
    EXPECT_EQ(readMob("MovieFile=clip.av\n" + range), kBadExt);
    EXPECT_EQ(readMob("MovieFile=clip.avix\n" + range), kBadExt);
    EXPECT_EQ(readMob("MovieFile=missing.mpg\n" + range), kBadName);
    EXPECT_EQ(readMob("MovieFile=clip.avi \n" + range), kBadExt); // values are not trimmed
    // The extension check comes before the frame range check, which comes last.
    EXPECT_EQ(readMob("MovieFile=clip.wav\nStartFrame=10\nEndFrame=10\n"), kBadExt);
    EXPECT_EQ(readMob("MovieFile=clip.avi\nStartFrame=10\nEndFrame=10\n"), kBadRange);
    EXPECT_EQ(readMob("MovieFile=clip.avi\nStartFrame=11\nEndFrame=10\n"), kBadRange);
}

TEST_F(MovieObjectFileTest, ExtensionsOfAnyCase) {
    dir.write("b.mpg", "m");
    dir.write("c.mov", "m");
    std::optional<MovieObject> mob;
    EXPECT_EQ(readMob("MovieFile=B.MpG\nStartFrame=0\nEndFrame=1\n", &mob), "");
    EXPECT_EQ(mob->MoviePath, dir.file("b.mpg"));
    EXPECT_EQ(readMob("MovieFile=c.MOV\nStartFrame=0\nEndFrame=1\n", &mob), "");
    EXPECT_EQ(mob->MoviePath, dir.file("c.mov"));
}

TEST_F(MovieObjectFileTest, FindsTheMovieWithoutRegardToCaseAndBackslashFolders) {
    dir.write("Media/Sub/MyClip.AVI", "m");
    std::optional<MovieObject> mob;
    EXPECT_EQ(readMob("MovieFile=media\\SUB\\myclip.avi\nStartFrame=0\nEndFrame=1\n", &mob), "");
    ASSERT_TRUE(mob);
    EXPECT_EQ(mob->MoviePath, dir.file("Media/Sub/MyClip.AVI"));

    // The lower-cased name is taken first when it exists.
    dir.write("Both.avi", "upper");
    dir.write("both.avi", "lower");
    EXPECT_EQ(readMob("MovieFile=BOTH.AVI\nStartFrame=0\nEndFrame=1\n", &mob), "");
    EXPECT_EQ(mob->MoviePath, dir.file("both.avi"));

    // A folder of that name is not a movie.
    dir.write("dir.avi/x", "m");
    EXPECT_EQ(readMob("MovieFile=DIR.AVI\nStartFrame=0\nEndFrame=1\n"), kBadName);
    EXPECT_FALSE(FindMovieFile(dir.path(), "media\\nothing\\myclip.avi"));
    EXPECT_FALSE(FindMovieFile(dir.path() + "/nofolder", "clip.avi"));
}

TEST_F(MovieObjectFileTest, BackslashTrailBytesOfCp932AreNotSeparators) {
    qxm::codepage::ScopedCharset cs(qxm::codepage::Charset::Cp932);
    const std::string name = "\x83\x5C"
                             "A.avi"; // CP932 character with trail byte '\'
    dir.write(name, "m");
    EXPECT_EQ(FindMovieFile(dir.path(), name), dir.file(name));
}

TEST_F(MovieObjectFileTest, LongLinesAreReadInPiecesOf255Bytes) {
    // The first 255 bytes of the line end inside the name; the rest is a line of its own.
    const std::string longName = std::string(250, 'a') + ".avi";
    dir.write(longName, "m");
    EXPECT_EQ(readMob("MovieFile=" + longName + "\nStartFrame=0\nEndFrame=1\n"), kBadExt);
    // A key in the continuation of a long line counts.
    EXPECT_EQ(readMob("MovieFile=clip.avi\nStartFrame=0\nEndFrame=1\nX=" + std::string(253, 'x') +
                      "StartFrame=q\n"),
              kBadStart);
}
