// The writers of the registry, of text property bags and of saved control streams, each run as
// the real program with one file operation made to fail (the preloaded fault library): the
// previous file survives byte for byte, no temporary file stays behind, and the program says
// which step failed.
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/registry/tests/TempRegistry.h"
#include "testing/moviegen/MovieGen.h"

namespace fs = std::filesystem;

namespace {

struct ProgramRun {
    int exitCode = -1;
    std::string out; // standard output and error
};

std::string bin(const char* name) {
    return std::string(std::getenv("QXM_BIN_DIR")) + "/" + name;
}

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Runs program with the fault rule (none when empty); the fault library logs to logFile.
ProgramRun run(const std::string& program, const QStringList& args, const std::string& rule,
               const std::string& logFile, const std::string& input = {},
               const std::string& cacheHome = {}) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (!cacheHome.empty()) env.insert("XDG_CACHE_HOME", QString::fromStdString(cacheHome));
    if (!rule.empty()) {
        env.insert("LD_PRELOAD", QXM_FAULTFS_MODULE);
        env.insert("QXM_FAULT", QString::fromStdString(rule));
        env.insert("QXM_FAULT_LOG", QString::fromStdString(logFile));
        // A sanitizer build wants its runtime first; the fault library only passes calls on.
        env.insert("ASAN_OPTIONS", env.value("ASAN_OPTIONS") + ":verify_asan_link_order=0");
    }
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QString::fromStdString(program), args);
    ProgramRun r;
    if (!p.waitForStarted(10000)) return r;
    p.write(input.data(), qint64(input.size()));
    p.closeWriteChannel();
    if (!p.waitForFinished(60000)) p.kill();
    p.waitForFinished();
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAll().toStdString();
    return r;
}

// Names in folder that start with prefix.
std::vector<std::string> entriesStartingWith(const std::string& folder, const std::string& prefix) {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(folder))
        if (e.path().filename().string().rfind(prefix, 0) == 0)
            out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
}

struct Step {
    const char* op;
    const char* pattern; // appended to the target's path
    const char* message; // what the program must say
};
// The temporary file is named after the target with six random characters; at its creation
// the name still holds the template.
const Step kSteps[] = {
    {"open", ".XXXXXX", "cannot create a temporary file"},
    {"write", ".", "cannot write"},
    {"fsync", ".", "cannot flush"},
    {"close", ".", "cannot close"},
    {"rename", "", "cannot replace"},
};

class FileFaults : public ::testing::Test {
protected:
    void SetUp() override {
        module_ = std::string(std::getenv("QXM_LIB_DIR")) + "/libqxmovie.so";
        log_ = registry_.dir() + "/faults.log";
        ASSERT_EQ(run(bin("qxmregsvr"), {QString::fromStdString(module_)}, "", log_).exitCode, 0);
    }
    // Runs write (a program call) once per step, each time failing that step on target.
    template <class Write> void everyStepFails(const std::string& target, Write write) {
        const std::string before = slurp(target);
        ASSERT_FALSE(before.empty()) << target;
        const std::string folder = fs::path(target).parent_path().string();
        const std::string name = fs::path(target).filename().string();
        for (const Step& s : kSteps) {
            fs::remove(log_);
            const ProgramRun r = write(std::string(s.op) + ":" + target + s.pattern);
            EXPECT_NE(slurp(log_).find(std::string(s.op) + " "), std::string::npos)
                << s.op << ": the fault was not reached\n"
                << r.out;
            EXPECT_NE(r.out.find(s.message), std::string::npos) << s.op << "\n" << r.out;
            EXPECT_EQ(slurp(target), before) << s.op;
            EXPECT_EQ(entriesStartingWith(folder, name + "."),
                      name == "registry" ? std::vector<std::string>{"registry.lock"}
                                         : std::vector<std::string>{})
                << s.op;
        }
    }

    TempRegistry registry_;
    std::string module_;
    std::string log_;
};

} // namespace

TEST_F(FileFaults, RegistryKeepsItsPreviousContents) {
    everyStepFails(registry_.path(), [&](const std::string& rule) {
        const ProgramRun r =
            run(bin("qxmregsvr"), {"-u", QString::fromStdString(module_)}, rule, log_);
        EXPECT_NE(r.exitCode, 0) << r.out;
        return r;
    });
}

TEST_F(FileFaults, SavedBagAndStreamKeepTheirPreviousContents) {
    for (const char* command : {"save", "save-stream"}) {
        const std::string target = registry_.dir() + "/page." + command;
        ASSERT_EQ(run(bin("qxmhost"), {"--batch"}, "", log_,
                      std::string(command) + " " + target + "\nquit\n")
                      .exitCode,
                  0);
        everyStepFails(target, [&](const std::string& rule) {
            const ProgramRun r = run(bin("qxmhost"), {"--batch", "AutoPlay=False"}, rule, log_,
                                     std::string(command) + " " + target + "\nquit\n");
            EXPECT_NE(r.out.find("error 0x8003001D"), std::string::npos) << r.out;
            return r;
        });
    }
}

// The frame cache: the index and the rewritten copy of a movie, each write failing in turn.
// The frames stay right, nothing temporary stays behind, and the next open makes the cache
// again, also over an index a failure left half written.
TEST_F(FileFaults, FrameCacheSurvivesEveryFailingStep) {
    const std::string cache = registry_.dir() + "/cache";
    const std::string folder = cache + "/qxm/video";
    auto frames = [&](const std::string& movie, const std::string& rule) {
        return run(bin("qxm-frames"), {QString::fromStdString(movie), "--hash", "0", "7", "13"},
                   rule, log_, {}, cache);
    };
    auto leftovers = [&] {
        std::vector<std::string> out;
        if (fs::exists(folder))
            for (const auto& e : fs::directory_iterator(folder))
                if (e.path().filename().string().find(".tmp") != std::string::npos)
                    out.push_back(e.path().filename().string());
        return out;
    };
    struct Case {
        const char* kind;
        const char* file; // the cache file whose writing fails
        bool openFails;   // whether the movie then cannot be opened
    };
    for (const Case& c : {Case{"avi-mjpeg", ".ffindex", false}, Case{"mpg-mpeg2", ".mkv", true}}) {
        SCOPED_TRACE(c.kind);
        qxm::moviegen::MovieRecipe recipe;
        recipe.kind = c.kind;
        recipe.frames = 20;
        const std::string movie =
            registry_.dir() + "/movie-" + c.kind + qxm::moviegen::findKind(c.kind)->extension;
        std::string why;
        ASSERT_TRUE(qxm::moviegen::writeMovie(movie, recipe, why)) << why;
        fs::remove_all(cache);
        const ProgramRun good = frames(movie, "");
        ASSERT_EQ(good.exitCode, 0) << good.out;

        for (const Step& s : kSteps) {
            fs::remove_all(cache);
            fs::remove(log_);
            const std::string pattern =
                std::string(c.file) + (s.op == std::string("rename") ? "" : ".tmp");
            const ProgramRun r = frames(movie, std::string(s.op) + ":" + pattern);
            EXPECT_NE(slurp(log_).find(std::string(s.op) + " "), std::string::npos)
                << s.op << ": the fault was not reached\n"
                << r.out;
            if (c.openFails) {
                EXPECT_EQ(r.exitCode, 1) << s.op << "\n" << r.out;
                EXPECT_NE(r.out.find("cache file"), std::string::npos) << s.op << "\n" << r.out;
            } else {
                EXPECT_EQ(r.out, good.out) << s.op;
            }
            EXPECT_EQ(leftovers(), std::vector<std::string>{}) << s.op;
            const ProgramRun again = frames(movie, "");
            EXPECT_EQ(again.out, good.out) << s.op;
        }

        // An index cut short, as a crash of an older writer could leave it, is made again.
        for (const auto& e : fs::directory_iterator(folder))
            if (e.path().extension() == ".ffindex")
                fs::resize_file(e.path(), fs::file_size(e.path()) / 2);
        EXPECT_EQ(frames(movie, "").out, good.out);
    }
}
