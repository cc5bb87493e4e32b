// qxmhost end to end: registration into a private registry, creation by ProgID, properties
// from a bag or arguments, saving and reloading both forms, unregistering.
#include <QProcess>
#include <QStringList>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "editor/anchors/AnchorFile.h"
#include "platform/registry/tests/TempRegistry.h"
#include "testing/moviegen/MovieGen.h"

namespace fs = std::filesystem;
using namespace qxm;

namespace {

struct HostRun {
    int exitCode = -1;
    std::vector<std::string> lines; // standard output
    std::string err;

    // The replies (ok / error lines), in order.
    std::vector<std::string> replies() const {
        std::vector<std::string> out;
        for (const auto& l : lines)
            if (l.rfind("ok", 0) == 0 || l.rfind("error", 0) == 0) out.push_back(l);
        return out;
    }
    bool has(const std::string& line) const {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
    std::string all() const {
        std::string s;
        for (const auto& l : lines)
            s += l + "\n";
        return s + err;
    }
};

std::string bin(const char* name) {
    return std::string(std::getenv("QXM_BIN_DIR")) + "/" + name;
}

HostRun run(const std::string& program, const QStringList& args, const std::string& input = {}) {
    QProcess p;
    p.start(QString::fromStdString(program), args);
    HostRun r;
    if (!p.waitForStarted(10000)) return r;
    p.write(input.data(), qint64(input.size()));
    p.closeWriteChannel();
    if (!p.waitForFinished(90000)) {
        p.kill();
        p.waitForFinished();
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    for (const QString& l : QString::fromUtf8(p.readAllStandardOutput()).split('\n'))
        if (!l.isEmpty()) r.lines.push_back(l.toStdString());
    r.err = p.readAllStandardError().toStdString();
    return r;
}

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

class Host : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = registry_.dir() + "/page";
        fs::create_directories(dir_);
        movie_ = dir_ + "/clip.avi";
        moviegen::MovieRecipe movieRecipe;
        movieRecipe.frames = 20;
        movieRecipe.width = 160;
        movieRecipe.height = 120;
        std::string error;
        ASSERT_TRUE(moviegen::writeMovie(movie_, movieRecipe, error)) << error;
        ASSERT_TRUE(anchors::WriteAnchorObjectFile(
            dir_, "clip",
            {anchors::MakeAnchorRecord("CAR1", "car",
                                       {{0, 10, 10, 60, 60}, {19, 30, 30, 80, 80}})}));
    }
    void registerModule(bool unregister = false) {
        QStringList args;
        if (unregister) args << "-u";
        args << QString::fromStdString(std::string(std::getenv("QXM_LIB_DIR")) + "/libqxmovie.so");
        const HostRun r = run(bin("qxmregsvr"), args);
        ASSERT_EQ(r.exitCode, 0) << r.all();
        ASSERT_EQ(r.lines, std::vector<std::string>{"0x00000000"});
    }
    HostRun host(QStringList args, const std::string& script) {
        args.prepend("--batch");
        return run(bin("qxmhost"), args, script);
    }

    TempRegistry registry_;
    std::string dir_;
    std::string movie_;
};

} // namespace

TEST_F(Host, RestoresABagSavesBothFormsAndReloadsThem) {
    registerModule();
    const std::string bag = dir_ + "/props.bag";
    std::ofstream(bag) << "# saved by a page\nMovieFile=" << movie_
                       << "\nAutoPlay=False\nActivateMethod=1\nShowAnchor=True\n"
                          "CursorFile=\"/cursors/hand 1.cur\"\n";
    const std::string savedBag = dir_ + "/out.bag", savedStream = dir_ + "/out.bin";
    HostRun r = host({"--bag", QString::fromStdString(bag)},
                     "wait OpenComplete\nget AnchorNum\nget AnchorID 0\nget ActivateMethod\n"
                     "set ActivateMethod 2\nget Duration\nget CursorFile\ncall Play 0\n"
                     "wait OnMovieStart\ncall Stop\nwait OnStateChange\nsave " +
                         savedBag + "\nsave-stream " + savedStream + "\nquit\n");
    ASSERT_EQ(r.exitCode, 0) << r.all();
    EXPECT_EQ(r.replies(), (std::vector<std::string>{"ok", "ok 1", "ok \"CAR1\"", "ok 1",
                                                     "error 0x800A017C Invalid Property Value",
                                                     "ok 20", "ok \"/cursors/hand 1.cur\"", "ok",
                                                     "ok", "ok", "ok", "ok", "ok"}))
        << r.all();
    EXPECT_TRUE(r.has("event OpenComplete")) << r.all();
    EXPECT_TRUE(r.has("event OnMovieStart")) << r.all();
    EXPECT_TRUE(r.has("event OnStateChange 0 2")) << r.all();

    const std::string saved = slurp(savedBag);
    EXPECT_NE(saved.find("MovieFile=" + movie_ + "\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find("ActivateMethod=1\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find("AutoPlay=False\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find("CursorFile=/cursors/hand 1.cur\n"), std::string::npos) << saved;

    // Reloaded, each form gives the same properties back and saves the same again.
    const std::string again = dir_ + "/again.bag", againStream = dir_ + "/again.bin";
    r = host({"--bag", QString::fromStdString(savedBag)},
             "wait OpenComplete\nget ActivateMethod\nget ShowAnchor\nget MovieFile\nsave " + again +
                 "\nquit\n");
    ASSERT_EQ(r.exitCode, 0) << r.all();
    EXPECT_EQ(r.replies(),
              (std::vector<std::string>{"ok", "ok 1", "ok True", "ok \"" + movie_ + "\"", "ok"}))
        << r.all();
    EXPECT_EQ(slurp(again), saved);
    r = host({"--stream", QString::fromStdString(savedStream)},
             "wait OpenComplete\nget CursorFile\nsave-stream " + againStream + "\nquit\n");
    ASSERT_EQ(r.exitCode, 0) << r.all();
    EXPECT_EQ(r.replies(), (std::vector<std::string>{"ok", "ok \"/cursors/hand 1.cur\"", "ok"}))
        << r.all();
    EXPECT_EQ(slurp(againStream), slurp(savedStream));

    // Unregistered, the control can no longer be created.
    registerModule(true);
    r = host({}, "quit\n");
    EXPECT_EQ(r.exitCode, 3) << r.all();
    EXPECT_NE(r.err.find("cannot create QXMOVIE.QXMovieCtrl.2: 0x800401F3"), std::string::npos)
        << r.err;
}

TEST_F(Host, ArgumentsPageLocationEventsAndNotifications) {
    registerModule();
    HostRun r = host({"--location", QString::fromStdString("file://" + dir_ + "/index.html"),
                      "MovieFile=clip.avi", "AutoPlay=False", "SelectionStart=0"},
                     "wait OpenComplete\nget MovieFile\nget ImageSourceWidth\n"
                     "set CursorFile \"my hand.cur\"\ncall EnableAnchor CAR1\n"
                     "call EnableAnchor NONE\nget AnchorName 5\nset PlaybackEnvironment 1\n"
                     "set MovieFile clip.avi\nwait OpenComplete\nget MovieFile\nquit\n");
    ASSERT_EQ(r.exitCode, 0) << r.all();
    // Restored, MovieFile keeps its text; set at run time it reads back resolved.
    EXPECT_EQ(r.replies(),
              (std::vector<std::string>{"ok", "ok \"clip.avi\"", "ok 160", "ok", "ok True",
                                        "ok False", "error 0x800A017D Invalid Property Array Index",
                                        "error 0x800A017F Property is read-only", "ok", "ok",
                                        "ok \"file://" + movie_ + "\""}))
        << r.all();
    EXPECT_TRUE(r.has("changed MovieFile")) << r.all();
    EXPECT_TRUE(r.has("changed CursorFile")) << r.all();
}

TEST_F(Host, BadInputIsReportedClearly) {
    registerModule();
    const std::string bag = dir_ + "/bad.bag";
    std::ofstream(bag) << "AutoPlay=banana\n";
    HostRun r = host({"--bag", QString::fromStdString(bag)}, "quit\n");
    EXPECT_EQ(r.exitCode, 4);
    EXPECT_NE(r.err.find("AutoPlay"), std::string::npos) << r.err;

    r = host({"--bag", QString::fromStdString(dir_ + "/missing.bag")}, "quit\n");
    EXPECT_EQ(r.exitCode, 4);
    EXPECT_NE(r.err.find("missing.bag"), std::string::npos) << r.err;

    r = host({"NotAnAssignment"}, "quit\n");
    EXPECT_EQ(r.exitCode, 2);

    r = host({"--progid", "No.Such.Class"}, "quit\n");
    EXPECT_EQ(r.exitCode, 3);

    r = host({}, "frobnicate\nset MovieFile \"unclosed\nget\nget NoSuchMember\nquit\n");
    EXPECT_EQ(r.exitCode, 0);
    ASSERT_EQ(r.replies().size(), 4u) << r.all();
    EXPECT_EQ(r.replies()[0], "error 0x80070057 unknown command frobnicate");
    EXPECT_EQ(r.replies()[1], "error 0x80070057 the quoted value does not close on its line");
    EXPECT_EQ(r.replies()[2], "error 0x80070057 get needs 1 argument");
    EXPECT_EQ(r.replies()[3].rfind("error 0x80020006", 0), 0u) << r.replies()[3];

    // Input ending without quit ends the host all the same.
    r = host({}, "get AutoPlay");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.replies(), std::vector<std::string>{"ok True"});
}

TEST(RegistrationTool, PrintsTheModulesVersionBlock) {
    const std::string module = std::string(std::getenv("QXM_LIB_DIR")) + "/libqxmovie.so";
    HostRun r = run(bin("qxmregsvr"), {"-v", QString::fromStdString(module)});
    ASSERT_EQ(r.exitCode, 0) << r.all();
    EXPECT_TRUE(r.has("FileVersion=2.00.0021")) << r.all();
    EXPECT_TRUE(r.has("OriginalFilename=QXMOVIE.OCX")) << r.all();
    r = run(bin("qxmregsvr"), {"-v", "/no/such/module.so"});
    EXPECT_EQ(r.exitCode, 3);
    r = run(bin("qxmregsvr"), {"-v", "-u", QString::fromStdString(module)});
    EXPECT_EQ(r.exitCode, 2);
}

// Input a script or a page could send: numbers out of range, runaway lines, dialogs in batch
// mode, oversized extents, a malformed anchor file. Each is refused with a line saying what is
// wrong, and nothing hangs.
TEST_F(Host, HostileInputIsRefusedAndNamed) {
    registerModule();
    const std::string longWord(10 << 20, 'x');
    HostRun r = host({}, "wait OnTimer -1\nwait OnTimer abc\nwait OnTimer 99999999999\n"
                         "size 600000 10\nverb 1x\ncall AboutBox\nverb -7\n" +
                             longWord + "\nsize 0 0\ngrab " + dir_ + "/empty.png\nquit\n");
    EXPECT_EQ(r.exitCode, 0) << r.all().substr(0, 2000);
    const std::vector<std::string> replies = r.replies();
    ASSERT_EQ(replies.size(), 10u) << r.all().substr(0, 2000);
    const char* bounds = "\": a whole number from 0 to 600000";
    EXPECT_EQ(replies[0], std::string("error 0x80070057 bad time-out \"-1") + bounds);
    EXPECT_EQ(replies[1], std::string("error 0x80070057 bad time-out \"abc") + bounds);
    EXPECT_EQ(replies[2], std::string("error 0x80070057 bad time-out \"99999999999") + bounds);
    EXPECT_EQ(replies[3], "error 0x80070057 bad width \"600000\": a whole number from 0 to 8192");
    EXPECT_EQ(replies[4].rfind("error 0x80070057 bad verb \"1x\"", 0), 0u) << replies[4];
    EXPECT_EQ(replies[5], "ok");
    EXPECT_EQ(replies[6], "ok");
    EXPECT_LT(replies[7].size(), 200u);
    EXPECT_NE(replies[7].find("... (10485760 bytes)"), std::string::npos) << replies[7];
    EXPECT_EQ(replies[8], "ok");
    EXPECT_EQ(replies[9], "error 0x8000FFFF nothing to grab: the window is 0 x 0 pixels");
    int dialogs = 0;
    for (const std::string& l : r.lines)
        dialogs += l.rfind("prompt-dialog ", 0) == 0;
    EXPECT_EQ(dialogs, 2) << r.all().substr(0, 2000);

    const std::string bag = dir_ + "/huge.bag";
    std::ofstream(bag) << "_ExtentX=600000\n";
    r = host({"--bag", QString::fromStdString(bag)}, "quit\n");
    EXPECT_EQ(r.exitCode, 4);
    EXPECT_NE(r.err.find("_ExtentX 600000 is out of range"), std::string::npos) << r.err;

    // A movie that failed to open has no position to go to.
    std::ofstream(dir_ + "/broken.avi") << "not a movie";
    r = host({QString::fromStdString("MovieFile=" + dir_ + "/broken.avi")},
             "wait OnError 20000\nset CurrentPosition 5\nget CurrentPosition\nget Duration\n"
             "quit\n");
    EXPECT_EQ(r.replies(), (std::vector<std::string>{"ok", "error 0x8000FFFF Catastrophic failure",
                                                     "ok 0", "ok 0"}))
        << r.all();

    std::ofstream(dir_ + "/clip.obj") << "MaxObject=1\n\n[OBJ1:x:0-9:2]\n0:1,2,3;\n";
    r = host({QString::fromStdString("MovieFile=" + movie_)}, "quit\n");
    EXPECT_EQ(r.exitCode, 5);
    EXPECT_NE(
        r.err.find("0x800A07D2 Anchor Data Read Error: " + dir_ + "/clip.obj line 4: \"0:1,2,3;\""),
        std::string::npos)
        << r.err;
}
