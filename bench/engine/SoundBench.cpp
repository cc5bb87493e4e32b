// Figures of the movie engine's sound on a 62-second 320 x 240 movie at 30 frames a second with
// a 48 kHz tone track:
//   BM_SoundDrift     plays 60 seconds and measures, over the last second, how far the picture
//                     shown is from the sound heard (counters in frames: the mean offset of the
//                     middle of the frame shown from the sound's position, positive when the
//                     picture is ahead, and the largest distance, 0.5 when exact; and the share
//                     of moments whose tone names a frame more than one away from the picture).
//   BM_PlayCpu/0|1    processor share of 20 seconds of playing without (0) and with (1) sound.
// The sound goes into a memory sink that plays in real time; QXM_BENCH_SINK=device sends it to
// the default audio device instead (drift is then measured against what the device reports).
//   QXM_BENCH_DIR  folder for the movie (default: <tmp>/qxm-engine-bench)
#include "platform/audio/MemoryAudioSink.h"
#include "platform/engine/MovieEngine.h"
#include "testing/moviegen/MovieGen.h"

#include "BenchMovies.h"

#include <QApplication>
#include <QEventLoop>
#include <QTimer>

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace fs = std::filesystem;
using qxm::engine::MovieEngine;
using SteadyClock = std::chrono::steady_clock;

namespace {

constexpr int kFps = 30, kRate = 48000;

using qxm::bench::benchDir;

std::string g_movie;

bool prepareMovie() {
    qxm::moviegen::MovieRecipe recipe;
    recipe.kind = "avi-mpeg4";
    recipe.width = 320;
    recipe.height = 240;
    recipe.fps = kFps;
    recipe.frames = 62 * kFps;
    recipe.toneRate = kRate;
    g_movie = qxm::bench::benchMovie("tone-62s-avi-mpeg4.avi", recipe);
    return !g_movie.empty();
}

bool useDevice() {
    const char* sink = std::getenv("QXM_BENCH_SINK");
    return sink && std::string(sink) == "device";
}

void openMovie(MovieEngine& engine) {
    QEventLoop loop;
    QObject::connect(&engine, &MovieEngine::openComplete, &loop, &QEventLoop::quit);
    engine.setFileName(QString::fromStdString(g_movie));
    loop.exec();
}

double processCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

void BM_SoundDrift(benchmark::State& state) {
    qxm::audio::MemorySinkFactory sinks;
    MovieEngine engine;
    if (!useDevice()) engine.setAudioSinkFactory(sinks.factory());
    openMovie(engine);
    engine.show();
    for (auto _ : state) {
        engine.setCurrentPosition(0);
        double sum = 0.0, largest = 0.0;
        int samples = 0, toneMisses = 0, toneChecks = 0;
        QTimer probe;
        probe.setTimerType(Qt::PreciseTimer);
        const auto t0 = SteadyClock::now();
        QObject::connect(&probe, &QTimer::timeout, [&] {
            if (SteadyClock::now() - t0 < std::chrono::seconds(59)) return;
            const auto log = sinks.last();
            if (!log || !engine.soundLeads()) return;
            const int64_t heard = log->heardIndex();
            if (heard < 0) return;
            // The frame whose sound is heard now, against the frame shown.
            const double soundFrame = double(heard) * kFps / kRate;
            const double offset = engine.currentFrame() + 0.5 - soundFrame;
            sum += offset;
            largest = std::max(largest, std::abs(offset));
            ++samples;
            if (heard >= kRate / 100) {
                const int tone = qxm::moviegen::toneFrameOf(
                    log->samples.data() + heard - kRate / 100, kRate / 100, kRate);
                const int off = ((tone - engine.currentFrame() % 16) + 16) % 16;
                ++toneChecks;
                if (off > 1 && off < 15) ++toneMisses;
            }
        });
        probe.start(5);
        QEventLoop loop;
        QTimer::singleShot(60000, &loop, &QEventLoop::quit);
        engine.Run();
        loop.exec();
        state.SetIterationTime(std::chrono::duration<double>(SteadyClock::now() - t0).count());
        engine.Stop();
        if (useDevice()) {
            state.counters["sound_leads"] = engine.hasSound();
        } else if (samples == 0) {
            state.SkipWithError("the sound did not lead");
            break;
        }
        state.counters["drift_mean_frames"] = samples ? sum / samples : -1;
        state.counters["drift_max_frames"] = samples ? largest : -1;
        state.counters["tone_misses"] = toneChecks ? double(toneMisses) / toneChecks : -1;
        state.counters["frame_at_60s"] = engine.currentFrame();
    }
}
BENCHMARK(BM_SoundDrift)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_PlayCpu(benchmark::State& state) {
    const bool withSound = state.range(0) != 0;
    qxm::audio::MemorySinkFactory sinks;
    sinks.options.refuseOpen = !withSound; // no output: the picture plays alone
    MovieEngine engine;
    if (!useDevice() || !withSound) engine.setAudioSinkFactory(sinks.factory());
    openMovie(engine);
    engine.show();
    for (auto _ : state) {
        engine.setCurrentPosition(0);
        QEventLoop loop;
        QTimer::singleShot(20000, &loop, &QEventLoop::quit);
        const double cpu0 = processCpuSeconds();
        const auto t0 = SteadyClock::now();
        engine.Run();
        const bool leads = engine.soundLeads();
        loop.exec();
        const double wall = std::chrono::duration<double>(SteadyClock::now() - t0).count();
        state.counters["cpu_share"] = (processCpuSeconds() - cpu0) / wall;
        state.counters["sound"] = leads;
        state.counters["frame"] = engine.currentFrame();
        engine.Stop();
        state.SetIterationTime(wall);
    }
}
BENCHMARK(BM_PlayCpu)
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

} // namespace

int main(int argc, char** argv) {
    return qxm::bench::runBenchmarks(argc, argv, prepareMovie);
}
