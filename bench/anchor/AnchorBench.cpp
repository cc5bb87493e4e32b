// qxmanchor's exports of 1000 anchors over 10,000 frames with every frame written (--frames):
// each format to /dev/null (the cost of computing and formatting), JSON also to a file in the
// temporary folder (with the writing), and the frame walk alone (the player's interpolation of
// ten million rectangles, no output) as the floor under them all.
#include "tools/anchor/Export.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <unistd.h>

using namespace qxm;
using namespace qxm::anchortool;

namespace {

constexpr int kAnchors = 1000;
constexpr int kFrames = 10000;
constexpr int kKeyStep = 50;

// Anchors over frames 0..9999 with a key frame every 50 frames, moving at random.
const std::vector<Anchor>& anchors() {
    static const std::vector<Anchor> all = [] {
        std::mt19937 rng(5);
        std::vector<Anchor> out;
        for (int i = 0; i < kAnchors; ++i) {
            std::vector<AnchorFrameEntry> keys;
            for (int f = 0; f < kFrames; f += kKeyStep) {
                const std::int32_t x = std::int32_t(rng() % 600), y = std::int32_t(rng() % 440);
                keys.push_back({f, {x, y, x + 40, y + 40}});
            }
            keys.push_back({kFrames - 1, {1, 2, 41, 42}});
            out.push_back(
                makeAnchor("A" + std::to_string(i), "object" + std::to_string(i), std::move(keys)));
        }
        return out;
    }();
    return all;
}

ExportOptions options(ExportFormat format) {
    ExportOptions o;
    o.format = format;
    o.frames = true;
    o.source = "bench.obj";
    o.movie = MovieFacts{"bench.avi", 640, 480, 25, 1, kFrames, 0};
    return o;
}

void exportTo(benchmark::State& state, ExportFormat format, std::FILE* sink) {
    const ExportOptions o = options(format);
    std::uint64_t bytes = 0;
    for (auto _ : state) {
        std::rewind(sink);
        std::vector<std::string> warnings;
        Output out(sink);
        exportAnchors(anchors(), o, out, warnings);
        if (!out.finish()) state.SkipWithError("write failed");
        bytes += out.bytesWritten();
    }
    state.SetBytesProcessed(std::int64_t(bytes));
    state.counters["MB"] = double(bytes) / double(state.iterations()) / 1e6;
}

void BM_ExportToNull(benchmark::State& state) {
    std::FILE* null = std::fopen("/dev/null", "wb");
    exportTo(state, ExportFormat(state.range(0)), null);
    std::fclose(null);
    state.SetLabel(exportFormatName(ExportFormat(state.range(0))));
}

void BM_ExportJsonToFile(benchmark::State& state) {
    const std::string path =
        (std::filesystem::temp_directory_path() / ("qxm-bench-anchor-" + std::to_string(getpid())))
            .string();
    std::FILE* file = std::fopen(path.c_str(), "wb");
    exportTo(state, ExportFormat::Json, file);
    std::fclose(file);
    std::filesystem::remove(path);
}

void BM_FrameWalkOnly(benchmark::State& state) {
    for (auto _ : state) {
        std::int64_t sum = 0;
        for (const Anchor& a : anchors())
            forEachFrame(a, [&](std::int32_t, const AnchorRect& r, bool) { sum += r.left; });
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * std::int64_t(kAnchors) * kFrames);
}

} // namespace

BENCHMARK(BM_FrameWalkOnly)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ExportToNull)
    ->Arg(int(ExportFormat::Json))
    ->Arg(int(ExportFormat::Cvat))
    ->Arg(int(ExportFormat::Mot))
    ->Arg(int(ExportFormat::WebVtt))
    ->Arg(int(ExportFormat::Coco))
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK(BM_ExportJsonToFile)->Unit(benchmark::kMillisecond)->Iterations(3);

BENCHMARK_MAIN();
