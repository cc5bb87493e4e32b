// The editor's stepping chain against the frame source's own reads: a Next Frame command to
// the new picture painted, and a thumb drag to a random frame painted, beside reading the same
// frames with the frame source alone. The editor runs whole (main window, form, movie window,
// the player control created through a private registry) under the platform Qt is given
// (offscreen by default).
//   QXM_BENCH_DIR  folder for the movies, the registry and the cache (default
//                  <tmp>/qxm-editor-bench)
// Movies: 640 x 480, 300 frames, MPEG-4 AVI (argument 0) and MPEG-2 program stream (1), and a
// long-GOP MPEG-4 AVI for stepping forward against stepping backward. Each
// benchmark reports items (steps, drags or reads) a second; the ratio of the editor's rate to
// the frame source's is the overhead of the chain.
#include <QAbstractSlider>
#include <QApplication>
#include <QProcess>
#include <QScrollBar>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>

#include "editor/shell/CMainFrame.h"
#include "editor/shell/CRiveviApp.h"
#include "editor/view/CRivEviFV.h"
#include "editor/view/CommandIds.h"
#include "platform/video/FrameSource.h"
#include "testing/moviegen/MovieGen.h"

namespace fs = std::filesystem;
using namespace qxm;

namespace {

constexpr int kFrames = 300;
constexpr const char* kKinds[] = {"avi-mpeg4", "mpg-mpeg2", "avi-mpeg4"};
// Kind 2 is the long-GOP movie of the stepping figures: 768 x 576, 795 frames, key frames 0,
// 200, 400 and 600.
constexpr int kLongGop = 2;
constexpr int kLongGopFrames = 795;

fs::path benchDir() {
    const char* dir = std::getenv("QXM_BENCH_DIR");
    return dir && *dir ? fs::path(dir) : fs::temp_directory_path() / "qxm-editor-bench";
}

std::string moviePath(int kind) {
    const auto* info = moviegen::findKind(kKinds[kind]);
    const std::string stem = kind == kLongGop ? "long-gop" : kKinds[kind];
    return (benchDir() / (stem + info->extension)).string();
}

bool prepare() {
    fs::create_directories(benchDir());
    setenv("XDG_CACHE_HOME", (benchDir() / "cache").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (benchDir() / "runtime").c_str(), 1);
    const std::string registry = (benchDir() / "registry").string();
    setenv("QXM_REGISTRY", registry.c_str(), 1);
    for (int k = 0; k < 3; ++k) {
        if (fs::exists(moviePath(k))) continue;
        moviegen::MovieRecipe recipe;
        recipe.kind = kKinds[k];
        recipe.width = 640;
        recipe.height = 480;
        recipe.frames = kFrames;
        recipe.fps = 30;
        if (k == kLongGop) {
            recipe.width = 768;
            recipe.height = 576;
            recipe.frames = kLongGopFrames;
            recipe.gop = 200;
        }
        std::string error;
        if (!moviegen::writeMovie(moviePath(k), recipe, error)) {
            std::fprintf(stderr, "cannot write %s: %s\n", moviePath(k).c_str(), error.c_str());
            return false;
        }
    }
    const QString bin = QCoreApplication::applicationDirPath();
    return QProcess::execute(bin + "/qxmregsvr", {bin + "/../lib/libqxmovie.so"}) == 0;
}

// One editor for the whole run, with the movie of the benchmark open.
struct Session {
    editor::CRiveviApp app;
    bool ok = false;
    explicit Session(const std::string& movie) {
        ok = app.InitInstance({{movie}, "libqxmtrack.so"}) && app.context().state.MovieOpen;
    }
    // Lets every window paint what the command changed, the picture among them.
    void paint() { QCoreApplication::processEvents(); }
};

std::unique_ptr<Session> g_session;
int g_sessionKind = -1;

Session* session(int kind, benchmark::State& state) {
    if (g_sessionKind != kind) {
        g_session.reset();
        g_session = std::make_unique<Session>(moviePath(kind));
        g_sessionKind = kind;
    }
    if (!g_session->ok) {
        state.SkipWithError("the editor could not open the movie");
        return nullptr;
    }
    return g_session.get();
}

// Next Frame from frame 0 to the end, each step until its picture is painted.
void BM_EditorNextFrame(benchmark::State& state) {
    Session* s = session(int(state.range(0)), state);
    if (!s) return;
    auto& frame = *s->app.mainFrame();
    int steps = 0;
    for (auto _ : state) {
        state.PauseTiming();
        frame.runCommand(editor::ID_VIDEO_FIRST);
        s->paint();
        state.ResumeTiming();
        for (int i = 1; i < kFrames; ++i) {
            frame.runCommand(editor::ID_VIDEO_NEXT);
            s->paint();
        }
        steps += kFrames - 1;
    }
    state.SetItemsProcessed(steps);
}

// The frame source reading the same frames in the same order.
void BM_SourceSequential(benchmark::State& state) {
    video::OpenStatus status;
    auto source = video::FrameSource::open(moviePath(int(state.range(0))), status);
    if (!source) return state.SkipWithError("cannot open the movie");
    video::Frame f;
    int reads = 0;
    for (auto _ : state) {
        state.PauseTiming();
        source->read(0, f);
        state.ResumeTiming();
        for (int i = 1; i < kFrames; ++i)
            source->read(i, f);
        reads += kFrames - 1;
    }
    state.SetItemsProcessed(reads);
}

std::vector<int> randomFrames() {
    std::mt19937 random(7);
    std::uniform_int_distribution<int> pick(0, 100);
    std::vector<int> positions(60);
    for (int& p : positions)
        p = pick(random);
    return positions;
}

// Thumb drags to random positions, each until the picture of its frame is painted.
void BM_EditorThumbDrag(benchmark::State& state) {
    Session* s = session(int(state.range(0)), state);
    if (!s) return;
    QScrollBar* bar = s->app.view()->frameScrollBar();
    const auto positions = randomFrames();
    int drags = 0;
    for (auto _ : state) {
        for (int p : positions) {
            bar->setSliderDown(true);
            bar->setSliderPosition(p);
            bar->setSliderDown(false);
            s->paint();
        }
        drags += int(positions.size());
    }
    state.SetItemsProcessed(drags);
}

// The frame source reading the frames those thumb positions ask for.
void BM_SourceRandom(benchmark::State& state) {
    video::OpenStatus status;
    auto source = video::FrameSource::open(moviePath(int(state.range(0))), status);
    if (!source) return state.SkipWithError("cannot open the movie");
    std::vector<int> frames;
    for (int p : randomFrames())
        frames.push_back((p * (kFrames - 1) + 99) / 100);
    video::Frame f;
    int reads = 0;
    for (auto _ : state) {
        for (int n : frames)
            source->read(n, f);
        reads += int(frames.size());
    }
    state.SetItemsProcessed(reads);
}

// On the long-GOP movie: from the thumb at frame 604, 99 Next Frame steps (0), or from the
// thumb at frame 699, 99 Previous Frame steps down to frame 600 (1), each step until its
// picture is painted.
void BM_EditorLongGopSteps(benchmark::State& state) {
    Session* s = session(kLongGop, state);
    if (!s) return;
    const bool backward = state.range(0) != 0;
    state.SetLabel(backward ? "Previous Frame 698..600" : "Next Frame 605..703");
    auto& frame = *s->app.mainFrame();
    QScrollBar* bar = s->app.view()->frameScrollBar();
    int steps = 0;
    auto thumbTo = [&](int p) {
        bar->setSliderDown(true);
        bar->setSliderPosition(p);
        bar->setSliderDown(false);
        s->paint();
    };
    for (auto _ : state) {
        state.PauseTiming();
        // Thumb position p shows frame (p * (frames - 1) + 99) / 100: 50 is 397, 76 is 604,
        // 88 is 699. A step back in another group first, so that nothing of the pass before
        // is held.
        thumbTo(50);
        frame.runCommand(editor::ID_VIDEO_PREV);
        s->paint();
        thumbTo(backward ? 88 : 76);
        state.ResumeTiming();
        for (int i = 0; i < 99; ++i) {
            frame.runCommand(backward ? editor::ID_VIDEO_PREV : editor::ID_VIDEO_NEXT);
            s->paint();
        }
        steps += 99;
    }
    state.SetItemsProcessed(steps);
}

// 0: MPEG-4 AVI, 1: MPEG-2 program stream.
BENCHMARK(BM_SourceSequential)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_EditorNextFrame)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SourceRandom)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_EditorThumbDrag)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_EditorLongGopSteps)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (!prepare()) return 1;
    benchmark::RunSpecifiedBenchmarks();
    g_session.reset();
    benchmark::Shutdown();
    return 0;
}
