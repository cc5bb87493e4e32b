// Figures of the movie engine on a 5-minute 640 x 480 movie at 30 frames a second:
// time from setting the file name to open complete (first open with an empty index cache, and
// cached), time of a random positioning (median reported as a counter), and the processor
// share of playing.
//   QXM_BENCH_DIR  folder for the movie and the cache (default: <tmp>/qxm-engine-bench)
//   QXM_BENCH_KIND movie kind (default avi-mpeg4)
#include "platform/engine/MovieEngine.h"
#include "testing/moviegen/MovieGen.h"

#include "BenchMovies.h"

#include <QApplication>
#include <QEventLoop>
#include <QTimer>

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>

namespace fs = std::filesystem;
using qxm::engine::MovieEngine;
using SteadyClock = std::chrono::steady_clock;

namespace {

using qxm::bench::benchDir;

std::string g_movie;

bool prepareMovie() {
    const char* kind = std::getenv("QXM_BENCH_KIND");
    qxm::moviegen::MovieRecipe movieRecipe;
    movieRecipe.kind = kind && *kind ? kind : "avi-mpeg4";
    movieRecipe.width = 640;
    movieRecipe.height = 480;
    movieRecipe.fps = 30;
    movieRecipe.frames = 5 * 60 * 30;
    const auto* info = qxm::moviegen::findKind(movieRecipe.kind);
    if (!info) {
        std::fprintf(stderr, "unknown kind %s\n", movieRecipe.kind.c_str());
        return false;
    }
    g_movie =
        qxm::bench::benchMovie("five-minutes-" + movieRecipe.kind + info->extension, movieRecipe);
    return !g_movie.empty();
}

void clearCache() {
    fs::remove_all(benchDir() / "cache");
}

// Sets the file name and runs the event loop until open complete; seconds taken.
double openMovie(MovieEngine& engine) {
    QEventLoop loop;
    QObject::connect(&engine, &MovieEngine::openComplete, &loop, &QEventLoop::quit);
    const auto t0 = SteadyClock::now();
    engine.setFileName(QString::fromStdString(g_movie));
    loop.exec();
    return std::chrono::duration<double>(SteadyClock::now() - t0).count();
}

void BM_OpenFirst(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        clearCache();
        MovieEngine engine;
        state.ResumeTiming();
        state.SetIterationTime(openMovie(engine));
        if (engine.CurrentState() != qxm::engine::kStopped) state.SkipWithError("open failed");
    }
}
BENCHMARK(BM_OpenFirst)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_OpenCached(benchmark::State& state) {
    {
        MovieEngine warm;
        openMovie(warm);
    }
    for (auto _ : state) {
        MovieEngine engine;
        state.SetIterationTime(openMovie(engine));
        if (engine.CurrentState() != qxm::engine::kStopped) state.SkipWithError("open failed");
    }
}
BENCHMARK(BM_OpenCached)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_RandomPositioning(benchmark::State& state) {
    MovieEngine engine;
    openMovie(engine);
    std::mt19937 random(11);
    std::vector<double> times;
    const int frames = engine.frameCount();
    for (auto _ : state) {
        const int frame = int(random() % unsigned(std::max(1, frames)));
        const auto t0 = SteadyClock::now();
        engine.setCurrentPosition(frame);
        const double s = std::chrono::duration<double>(SteadyClock::now() - t0).count();
        state.SetIterationTime(s);
        times.push_back(s);
    }
    if (!times.empty()) {
        std::nth_element(times.begin(), times.begin() + times.size() / 2, times.end());
        state.counters["median_ms"] = times[times.size() / 2] * 1000.0;
    }
}
BENCHMARK(BM_RandomPositioning)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(200);

double processCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Plays 10 seconds at 1.0 in a visible window the size of the movie; the counter is the
// processor time used divided by the time played (1.0 = one core busy).
void BM_PlayCpuShare(benchmark::State& state) {
    MovieEngine engine;
    openMovie(engine);
    engine.show();
    for (auto _ : state) {
        engine.setCurrentPosition(0);
        QEventLoop loop;
        QTimer::singleShot(10000, &loop, &QEventLoop::quit);
        const double cpu0 = processCpuSeconds();
        const auto t0 = SteadyClock::now();
        engine.Run();
        loop.exec();
        const double wall = std::chrono::duration<double>(SteadyClock::now() - t0).count();
        const double cpu = processCpuSeconds() - cpu0;
        state.counters["cpu_share"] = cpu / wall;
        state.counters["frame"] = engine.currentFrame();
        engine.Stop();
        state.SetIterationTime(wall);
    }
}
BENCHMARK(BM_PlayCpuShare)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

int main(int argc, char** argv) {
    return qxm::bench::runBenchmarks(argc, argv, prepareMovie);
}
