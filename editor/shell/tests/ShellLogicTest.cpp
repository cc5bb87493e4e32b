// The shell's arithmetic without windows: command line, file-name rule, working-range clamping
// and the placement of the picture.
#include <gtest/gtest.h>

#include "editor/shell/CommandLine.h"
#include "editor/shell/EditorTexts.h"
#include "editor/shell/MovieGeometry.h"

namespace qxm::editor {
namespace {

TEST(CommandLine, TokensQuotesAndSwitches) {
    struct Case {
        const char* line;
        const char* path;
        const char* option;
        bool hasPath;
    };
    const Case cases[] = {
        {"/I\"abc def\" clip.avi", "clip.avi", "abc def", true},
        {"\"/movies/my clip.avi\"", "/movies/my clip.avi", "", true},
        // The empty token between two blanks replaces the path.
        {"clip.avi  /Ix", "", "x", true},
        {"/ix", "/ix", "", true}, // only a capital I is the switch
        {"/I\"\"", "", "", false},
        {"/I\"x", "", "\"x", false}, // too short for quotes: everything after /I
        {"a.avi b.avi", "b.avi", "", true},
        {"\"a b", "\"a b", "", true}, // an unclosed quote keeps the blank and itself
        {"", "", "", false},
    };
    for (const Case& c : cases) {
        const CommandLine r = ParseCommandLine(c.line);
        EXPECT_EQ(r.PendingOpenPath, c.path) << c.line;
        EXPECT_EQ(r.PlayerOption, c.option) << c.line;
        EXPECT_EQ(r.hasPath, c.hasPath) << c.line;
    }
    EXPECT_EQ(ParseCommandLine(std::string(300, 'a') + ".avi").PendingOpenPath.size(),
              kCommandValueBytes);
}

TEST(CommandLine, ArgumentsJoinBackIntoTheLineTheyCameFrom) {
    EXPECT_EQ(JoinArguments({"/Iabc def", "clip.avi"}), "/I\"abc def\" clip.avi");
    EXPECT_EQ(JoinArguments({"my clip.avi"}), "\"my clip.avi\"");
    EXPECT_EQ(JoinArguments({"clip.avi", "", "/Ix"}), "clip.avi \"\" /Ix");
    const CommandLine r = ParseCommandLine(JoinArguments({"/Iabc def", "my clip.avi"}));
    EXPECT_EQ(r.PlayerOption, "abc def");
    EXPECT_EQ(r.PendingOpenPath, "my clip.avi");
}

TEST(MovieGeometry, FileNameRule) {
    struct Case {
        const char* name;
        bool inMob, valid, trackable;
    };
    const Case cases[] = {
        {"clip.avi", false, true, true},  {"clip.MOV", false, true, true},
        {"clip.mpg", false, true, false}, {"clip.mob", false, true, false},
        {"clip.mob", true, false, false}, {"clip.mpeg", false, false, false},
        {"clip", false, false, false},    {"a.b.avi", false, true, true},
        {"clip.av", false, false, false},
    };
    for (const Case& c : cases) {
        const FileNameCheck r = CheckFileNameRule(c.name, c.inMob);
        EXPECT_EQ(r.valid, c.valid) << c.name;
        EXPECT_EQ(r.trackable, c.trackable) << c.name;
        if (!c.valid) {
            EXPECT_STREQ(r.message, c.inMob ? text::kBadMovieNameInMob : text::kBadMovieName);
        }
    }
}

TEST(MovieGeometry, ClampingAndStepping) {
    EXPECT_EQ(ClampToRange(500, 0, 289), 289);
    EXPECT_EQ(ClampToRange(-1, 0, 289), 289); // unsigned: -1 lies beyond the last frame
    EXPECT_EQ(ClampToRange(3, 5, 10), 5);
    EXPECT_EQ(ClampToRange(7, 5, 10), 7);
    EXPECT_EQ(StepDistance(98, 5, false, 0, 100), 2);
    EXPECT_EQ(StepDistance(100, 5, false, 0, 100), 0);
    EXPECT_EQ(StepDistance(3, 5, true, 0, 100), 3);
    EXPECT_EQ(StepDistance(0, 1, true, 0, 100), 0);
}

TEST(MovieGeometry, PictureFitsItsParentKeepingTheAspect) {
    // 320 x 240 at scale 1.0 in a parent of 200 x 200 with a border of 1.
    EXPECT_EQ(FitMovieWindow(200, 200, 1, 1.0, 320, 240), (PlacedRect{1, 25, 198, 149}));
    // Small enough: shown at its scale, centred.
    EXPECT_EQ(FitMovieWindow(400, 300, 1, 1.0, 160, 120), (PlacedRect{118, 88, 164, 124}));
    // Tall pictures are limited by the height.
    EXPECT_EQ(FitMovieWindow(200, 100, 0, 1.0, 100, 200), (PlacedRect{74, 0, 52, 100}));
    // A scale above 1 asks for more room than the picture's own size.
    EXPECT_EQ(FitMovieWindow(400, 400, 0, 1.5, 100, 100), (PlacedRect{123, 123, 154, 154}));
}

} // namespace
} // namespace qxm::editor
