// qxmanchor end to end: round trips through every format, check's report on files the two
// readers see differently, and bad input and bad command lines.
#include "ToolTestUtil.h"

#include <random>

using namespace qxm;
using namespace qxm::anchortool;
using namespace qxm::anchortool::testing;

namespace {

// 1000 anchors (the limit) of one to four key frames in frames 0..289, with negative
// coordinates, rectangles reaching out of the 96x64 picture and ranges wider than the keys.
std::vector<Anchor> limitAnchors() {
    std::mt19937 rng(7);
    std::vector<Anchor> out;
    for (int i = 0; i < 1000; ++i) {
        const int keys = 1 + int(rng() % 4);
        std::vector<std::int32_t> frames;
        while (int(frames.size()) < keys) {
            const std::int32_t f = std::int32_t(rng() % 290);
            if (std::find(frames.begin(), frames.end(), f) == frames.end()) frames.push_back(f);
        }
        std::sort(frames.begin(), frames.end());
        std::vector<AnchorFrameEntry> entries;
        for (const std::int32_t f : frames) {
            const std::int32_t left = std::int32_t(rng() % 700) - 300;
            const std::int32_t top = std::int32_t(rng() % 500) - 250;
            entries.push_back(
                {f,
                 {left, top, left + std::int32_t(rng() % 200), top + std::int32_t(rng() % 150)}});
        }
        char id[8];
        std::snprintf(id, sizeof id, "A%04d", i);
        Anchor a = makeAnchor(id, "obj" + std::to_string(i), std::move(entries));
        if (i % 7 == 0) a.startFrame = std::max(0, a.startFrame - 3);
        out.push_back(std::move(a));
    }
    return out;
}

// Long ranges with large moves, a single key frame and negative coordinates.
std::vector<Anchor> longAnchors(std::int32_t last) {
    return {makeAnchor("LONG", "long",
                       {{0, {-5000, 10, -4990, 20}},
                        {last / 3, {100000, -70000, 100050, -69000}},
                        {last, {7, 7, 9, 9}}}),
            makeAnchor("ONE", "single", {{last / 2, {-1, -2, 3, 4}}}),
            makeAnchor("NEG", "negative", {{1, {-40, -30, -10, -5}}, {last - 1, {-4, -3, -1, 0}}})};
}

struct RoundTrip {
    const char* format;
    std::vector<std::string> exportArgs; // besides --to, the file and -o
    std::vector<std::string> importArgs; // besides --from, the file and -o
    bool keepsNames;                     // the format carries IDs and names
};

void roundTrip(const TempDir& dir, const std::string& obj, const RoundTrip& c,
               const std::string& tag) {
    SCOPED_TRACE(std::string(c.format) + " " + tag);
    const std::string exported = dir.file(tag + "." + c.format);
    const std::string back = dir.file(tag + "-" + c.format + "-back.obj");
    std::vector<std::string> ex = {"export", "--to", c.format, obj, "-o", exported};
    ex.insert(ex.end(), c.exportArgs.begin(), c.exportArgs.end());
    ToolRun r = qxmanchor(ex);
    ASSERT_EQ(r.exitCode, 0) << r.all();
    std::vector<std::string> im = {"import", "--from", c.format, exported, "-o", back};
    im.insert(im.end(), c.importArgs.begin(), c.importArgs.end());
    r = qxmanchor(im);
    ASSERT_EQ(r.exitCode, 0) << r.all();
    expectSameRectangles(obj, back, c.keepsNames);
}

} // namespace

TEST(AnchorToolRoundTrip, EveryFormatGivesBackEveryRectangleAtTheLimits) {
    TempDir dir;
    const std::string movie = writeMovie(dir, "clip.avi", 300);
    const std::string obj = writeObj(dir, "limits.obj", limitAnchors());
    const std::vector<RoundTrip> cases = {
        {"json", {}, {}, true},
        {"json", {"--frames"}, {}, true},
        {"cvat", {"--movie", movie}, {}, true},
        {"cvat", {"--movie", movie, "--frames"}, {}, true},
        {"cvat", {"--movie", movie, "--origin", "5"}, {"--origin", "5"}, true},
        {"mot", {}, {}, false},
        {"mot", {"--origin", "5"}, {"--origin", "5"}, false},
    };
    for (std::size_t i = 0; i < cases.size(); ++i)
        roundTrip(dir, obj, cases[i], "limits" + std::to_string(i));

    // The tool's JSON keeps the file as the editor wrote it, ranges and all.
    ASSERT_EQ(qxmanchor({"export", "--to", "json", obj, "-o", dir.file("same.json")}).exitCode, 0);
    ASSERT_EQ(
        qxmanchor({"import", "--from", "json", dir.file("same.json"), "-o", dir.file("same.obj")})
            .exitCode,
        0);
    EXPECT_EQ(dir.read("same.obj"), dir.read("limits.obj"));
}

TEST(AnchorToolRoundTrip, LongRangesKeepEveryFrame) {
    TempDir dir;
    const std::string noMovie = writeObj(dir, "long.obj", longAnchors(200000));
    roundTrip(dir, noMovie, {"json", {"--frames"}, {}, true}, "long");
    roundTrip(dir, noMovie, {"mot", {}, {}, false}, "long");
    const std::string movie = writeMovie(dir, "long.avi", 3000);
    const std::string withMovie = writeObj(dir, "longmovie.obj", longAnchors(2999));
    roundTrip(dir, withMovie, {"cvat", {"--movie", movie}, {}, true}, "longmovie");
    roundTrip(dir, withMovie, {"cvat", {"--movie", movie, "--frames"}, {}, true}, "longmovie-f");
}

TEST(AnchorToolRoundTrip, ExportToMovieFormatsLeavesOutFramesBeyondTheMovie) {
    TempDir dir;
    const std::string movie = writeMovie(dir, "short.avi", 20);
    const std::string obj =
        writeObj(dir, "beyond.obj",
                 {makeAnchor("CAR", "car", {{10, {0, 0, 10, 10}}, {30, {20, 0, 30, 10}}}),
                  makeAnchor("GONE", "gone", {{25, {0, 0, 1, 1}}, {28, {0, 0, 1, 1}}})});
    const ToolRun r =
        qxmanchor({"export", "--to", "cvat", obj, "--movie", movie, "-o", dir.file("beyond.xml")});
    ASSERT_EQ(r.exitCode, 0) << r.all();
    EXPECT_NE(r.err.find("\"CAR\": its frames 20 to 30 lie after"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("\"GONE\" lies wholly outside"), std::string::npos) << r.err;
    ASSERT_EQ(
        qxmanchor({"import", "--from", "cvat", dir.file("beyond.xml"), "-o", dir.file("back.obj")})
            .exitCode,
        0);
    // Inside the movie the rectangles are the same: frame 19 is a key frame now.
    const PlayerReading back = readWithPlayer(dir.file("back.obj"));
    ASSERT_EQ(back.anchors.size(), 1u);
    const Anchor original = readWithPlayer(obj).anchors.front();
    for (std::int32_t f = 10; f <= 19; ++f) {
        AnchorRect a, b;
        ASSERT_TRUE(anchorRectAt(original, f, a));
        ASSERT_TRUE(anchorRectAt(back.anchors.front(), f, b));
        EXPECT_EQ(a, b) << f;
    }
    EXPECT_EQ(back.anchors.front().entries.back().frame, 19);
}

// ---- check -----------------------------------------------------------------------------

namespace {

// A file the editor writes itself and the player control refuses: a header of 80 characters
// (10-byte ID, 40-byte name, ten-digit frames, a four-digit count).
std::string longHeaderFile() {
    std::string s = "MaxObject=1\r\n\r\n[ABCDEFGHIJ:" + std::string(40, 'n') +
                    ":1000000000-2000000000:1000]\r\n";
    for (int k = 0; k < 999; ++k)
        s += std::to_string(1000000000 + k) + ":1,1,5,5;\r\n";
    return s + "2000000000:1,1,5,5;\r\n";
}

} // namespace

TEST(AnchorToolCheck, ReportsEachReadersFirstProblemAndWhereTheyDisagree) {
    struct Case {
        const char* what;
        std::string content;
        int exitCode;
        std::vector<std::string> expected;
    };
    const std::vector<Case> cases = {
        {"clean",
         "MaxObject=2\r\n\r\n[CAR1:RedCar:0-20:2]\r\n0:1,2,3,4;\r\n20:5,6,7,8;\r\n\r\n"
         "[BALL:Ball:5-5:1]\r\n5:0,0,1,1;\r\n",
         0,
         {"player control: 2 anchors\n  \"CAR1\" \"RedCar\" frames 0-20, 2 key frames\n"
          "  \"BALL\" \"Ball\" frames 5-5, 1 key frame\n  first problem: none\n",
          "editor: 2 anchors\n", "first problem: none\nthe readers agree\n"}},
        {"frames out of order",
         "MaxObject=1\n\n[CAR1:RedCar:0-20:4]\n0:1,1,5,5;\n10:1,1,5,5;\n9:1,1,5,5;\n20:1,1,5,5;\n",
         1,
         {"player control: refuses the file",
          "f.obj:6: the frame is below the one before it (\"9:1,1,5,5;\")",
          "first problem: f.obj:6: key frame 9 follows key frame 10",
          "the readers disagree:\n  f.obj:6: the editor reads 1 anchor(s) but the player "
          "control refuses the whole file"}},
        {"header longer than the player's line",
         longHeaderFile(),
         1,
         {"f.obj:3: the line is no frame line",
          "longer than the 79 characters the player control reads as one line",
          "editor: 1 anchor\n  \"ABCDEFGHIJ\"", "f.obj:3: the editor reads 1 anchor(s) but"}},
        {"ID cut by the player",
         "MaxObject=2\n\n[ABCDEFGHI1:a:0-9:2]\n0:1,1,2,2;\n9:1,1,2,2;\n\n"
         "[ABCDEFGHI2:b:0-9:2]\n0:1,1,2,2;\n9:1,1,2,2;\n",
         1,
         {"f.obj:3: anchor 1: the player control's ID is \"ABCDEFGHI\" (events carry it), the "
          "editor's \"ABCDEFGHI1\"",
          "f.obj:7: anchors 1 and 2 have the same ID \"ABCDEFGHI\" to the player control"}},
        {"no MaxObject line",
         "\n[CAR1:car:0-9:2]\n0:1,1,2,2;\n9:1,1,2,2;\n",
         1,
         {"player control: 1 anchor", "editor: 0 anchors",
          "f.obj:2: a section before any MaxObject line: the editor stops reading here",
          "the editor reads 0 anchor(s), the player control 1"}},
        {"name against the editor's rules",
         "MaxObject=1\n\n[CAR1:Red car:0-9:2]\n0:1,1,2,2;\n9:1,1,2,2;\n",
         1,
         {"f.obj:3: the name \"Red car\" breaks the editor's rules", "the readers agree"}},
        {"fewer frame lines than announced",
         "MaxObject=1\n\n[A:a:0-9:3]\n0:1,1,2,2;\n9:1,1,2,2;\n",
         1,
         {"f.obj:3: the header announces 3 key frames but 2 frame lines follow",
          "anchor 1: key frame 3 is missing to the player control and 0:0,0,0,0 to the editor"}},
        {"interpolation beyond 32 bits",
         "MaxObject=1\n\n[FAR:far:0-1000000:2]\n0:0,0,10,10;\n1000000:5000,0,5010,10;\n",
         1,
         {"player control: 1 anchor",
          "first problem: f.obj:3: anchor \"FAR\": between key frames 0 and 1000000 the player "
          "control's 32-bit interpolation overflows",
          "editor: 1 anchor\n  \"FAR\" \"far\" frames 0-1000000, 2 key frames\n  first problem: "
          "none"}},
        {"a frame given twice",
         "MaxObject=1\n\n[A:a:0-12:3]\n0:1,1,2,2;\n0:5,5,6,6;\n12:1,1,2,2;\n",
         1,
         {"f.obj:5: key frame 0 follows key frame 0",
          "anchor 1: key frame 2 is 12:1,1,2,2 to the player control and 0:5,5,6,6 to the "
          "editor"}},
    };
    TempDir dir;
    const std::string path = dir.file("f.obj");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        dir.write("f.obj", c.content);
        const ToolRun r = qxmanchor({"check", path});
        EXPECT_EQ(r.exitCode, c.exitCode) << r.all();
        std::string out = r.out;
        for (std::size_t p; (p = out.find(path)) != std::string::npos;)
            out.replace(p, path.size(), "f.obj");
        for (const std::string& e : c.expected)
            EXPECT_NE(out.find(e), std::string::npos) << e << "\n--- in ---\n" << out;
    }
}

TEST(AnchorToolCheck, PrintShowsThePlayersRectanglesFromTheOrigin) {
    TempDir dir;
    dir.write("p.obj", "MaxObject=1\n\n[A:a:0-14:2]\n10:0,0,0,0;\n13:10,0,10,0;\n");
    ToolRun r = qxmanchor({"print", dir.file("p.obj"), "--frames", "--origin", "100"});
    ASSERT_EQ(r.exitCode, 0) << r.all();
    EXPECT_EQ(r.out, "origin 100: frames are movie frames\n"
                     "\"A\" \"a\" frames 100-114, 2 key frames\n"
                     "  100-109: no rectangle (before the first key frame)\n"
                     "  110: 0,0,0,0 key\n  111: 3,0,3,0\n  112: 6,0,6,0\n  113: 10,0,10,0 key\n"
                     "  114-114: no rectangle (after the last key frame)\n");
    dir.write("bad.obj", "[A:a:0-14:2]\n10:0,0,0,0;\n9:1,1,1,1;\n");
    r = qxmanchor({"print", dir.file("bad.obj")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("bad.obj:3: the frame is below the one before it"), std::string::npos)
        << r.err;
}

// ---- bad input -------------------------------------------------------------------------

TEST(AnchorToolBadInput, ClearMessageAndExitOneNeverACrash) {
    TempDir dir;
    std::string garbage;
    std::mt19937 rng(3);
    for (int i = 0; i < 4096; ++i)
        garbage.push_back(char(rng()));
    const std::string cvat = "<?xml version=\"1.0\"?>\n<annotations>\n<version>1.1</version>\n"
                             "<track id=\"0\" label=\"car\">\n"
                             "<box frame=\"0\" xtl=\"1\" ytl=\"2\" xbr=\"3\" ybr=\"4\"/>\n";
    struct Case {
        const char* format;
        std::string content;
        std::string message; // expected in the error output
    };
    const std::vector<Case> cases = {
        {"cvat", garbage, ":1: not well-formed XML"},
        {"cvat", cvat, ":6: not well-formed XML: Premature end of document"},
        {"cvat", cvat + "</track>\n</annotations>\n<more/>", "not well-formed XML"},
        {"cvat", "<annotations><image id=\"0\"/></annotations>", "CVAT for images"},
        {"cvat", "<annotations><track id=\"0\"><box frame=\"0\" xtl=\"1\"/></track></annotations>",
         ":1: a <box> without its ytl attribute"},
        {"cvat",
         "<annotations><track><box frame=\"x\" xtl=\"1\" ytl=\"1\" xbr=\"1\" ybr=\"1\"/>"
         "</track></annotations>",
         "a <box> whose frame is no number: x"},
        {"cvat", "<html><body/></html>", "the root element is <html>"},
        {"mot", garbage, ":1: the line holds a zero byte: this is no MOT file"},
        {"mot", "1,1,10,10,5,5\n2,1,x,10,5,5\n", ":2: column 3 is no number: \"x\""},
        {"mot", "1,1,10,10,5,5,1,1,1\n2,1,10,10,5\n", ":2: 5 columns; a MOT line has 6 to 10"},
        {"mot", "1,1,10,10,5,5,1,1,1,1,1\n", ":1: >10 columns"},
        {"mot", "0,1,10,10,5,5\n", ":1: the frame \"0\" is no whole number from 1 up"},
        {"mot", "1,-1,10,10,5,5\n", "a box of no track"},
        {"mot", "1,1,10,10,5,5\n1,1,11,10,5,5\n", "track 1 has two different boxes at frame 0"},
        {"mot", std::string(100000, '7'), ":1: the line is longer than 4096 bytes"},
        {"json", garbage, ":1: expected a JSON value"},
        {"json",
         "{\"format\": \"qxm-anchors\", \"anchors\": [{\"id\": \"A\",\n\"keyFrames\": [[0,1",
         ":2: the text ends inside a JSON value"},
        {"json", "{\"x\": " + std::string(100000, '['), "nested more than 64 deep"},
        {"json", "{\"format\": \"other\"}", "this is no anchor JSON"},
        {"json", "{\"format\":\"qxm-anchors\",\"anchors\":[{\"keyFrames\":[[0,1,2,3]]}]}",
         "a frame is [frame, left, top, right, bottom]"},
        {"json", "{\"format\":\"qxm-anchors\",\"version\":2,\"anchors\":[]}", "a newer version"},
        {"json", "{\"format\":\"qxm-anchors\",\"anchors\":[]} x", "text after the end"},
        {"json", "{\"format\":\"qxm-anchors\",\"anchors\":[]}", "no anchors to write"},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(std::string(c.format) + " case " + std::to_string(i));
        const std::string in = dir.write("in" + std::to_string(i), c.content);
        const std::string out = dir.file("out" + std::to_string(i) + ".obj");
        const ToolRun r = qxmanchor({"import", "--from", c.format, in, "-o", out});
        EXPECT_EQ(r.exitCode, 1) << r.all();
        EXPECT_NE(r.err.find("qxmanchor: "), std::string::npos) << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_FALSE(std::filesystem::exists(out));
    }

    // More tracks than an anchor object file holds are refused, not cut.
    std::string many;
    for (int id = 1; id <= 1001; ++id)
        many += "1," + std::to_string(id) + ",0,0,5,5,1,-1,-1,-1\n";
    const ToolRun r = qxmanchor(
        {"import", "--from", "mot", dir.write("many.txt", many), "-o", dir.file("many.obj")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("holds more than 1000 tracks"), std::string::npos) << r.err;

    // An anchor object file that is no such thing holds no anchors for either reader.
    const std::string garbageObj = dir.write("garbage.obj", garbage);
    const ToolRun checked = qxmanchor({"check", garbageObj});
    EXPECT_EQ(checked.exitCode, 1);
    EXPECT_NE(checked.out.find("editor: 0 anchors\n  first problem: " + garbageObj + ":1: "),
              std::string::npos)
        << checked.out;
    const ToolRun printed = qxmanchor({"print", garbageObj});
    EXPECT_EQ(printed.exitCode, 0);
    EXPECT_EQ(printed.out, "");
    EXPECT_NE(printed.err.find("holds no anchors"), std::string::npos);
    const ToolRun missing = qxmanchor({"export", "--to", "json", dir.file("none.obj")});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("cannot read"), std::string::npos);
    dir.write("refused.obj", "[A:a:0-5:1]\n9:1,1,1,1;\n");
    const ToolRun refused = qxmanchor({"export", "--to", "mot", dir.file("refused.obj")});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.err.find("refused.obj:2: the player control refuses this file"),
              std::string::npos)
        << refused.err;
}

TEST(AnchorToolBadInput, BadCommandLinesExitTwoAndHelpListsEveryCommand) {
    TempDir dir;
    const std::string obj = dir.write("a.obj", "MaxObject=0\n");
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{}, "no command"},
        {{"frobnicate", obj}, "unknown command frobnicate"},
        {{"check"}, "check needs a file"},
        {{"check", obj, obj}, "check takes one file"},
        {{"export", obj}, "export needs --to FORMAT"},
        {{"export", "--to", "xml", obj}, "unknown format xml"},
        {{"export", "--to", "cvat", obj}, "export to cvat needs --movie MOVIE"},
        {{"export", "--to", "webvtt", obj}, "needs --movie MOVIE for the movie's frame rate"},
        {{"export", "--to", "coco", obj}, "export to coco needs --movie"},
        {{"export", "--to"}, "--to needs a value"},
        {{"import", "--from", "mot", obj}, "import needs -o FILE.obj"},
        {{"import", "--from", "json", obj, "-o", "x.obj", "--origin", "3"}, "--origin does not"},
        {{"print", obj, "--movie", "m.avi"}, "--movie does not apply to print"},
        {{"print", obj, "--origin", "ten"}, "--origin ten is no frame number"},
        {{"check", obj, "--verbose"}, "unknown option --verbose"},
    };
    for (const auto& [args, message] : cases) {
        std::vector<std::string> full = args;
        const ToolRun r = qxmanchor(full);
        EXPECT_EQ(r.exitCode, 2) << message << ": " << r.all();
        EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("usage: qxmanchor"), std::string::npos);
    }
    const ToolRun version = qxmanchor({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_TRUE(version.out.starts_with("qxmanchor (")) << version.out;
    const ToolRun help = qxmanchor({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    for (const char* word : {"check", "print", "export", "import", "json", "cvat", "mot", "webvtt",
                             "coco", "--movie", "--origin", "--frames"})
        EXPECT_NE(help.out.find(word), std::string::npos) << word;
    const std::string json =
        dir.write("a.json", "{\"format\":\"qxm-anchors\",\"anchors\":[{\"id\":\"A\",\"name\":\"a\","
                            "\"keyFrames\":[[0,1,2,3,4]]}]}");
    const ToolRun txt = qxmanchor({"import", "--from", "json", json, "-o", dir.file("x.txt")});
    EXPECT_EQ(txt.exitCode, 1);
    EXPECT_NE(txt.err.find("an anchor object file's name ends in .obj"), std::string::npos);
}
