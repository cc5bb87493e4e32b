// Frame source costs on 640x480 movies of 300 frames: indexing (with the one-time rewrite of
// streams that need it), opening from the cache, and single reads in random and in sequential
// order (median time of one read as a counter). On a long-GOP movie (768x576, four key frames
// in 795 frames): a hundred steps forward against a hundred steps backward, and random reads.
#include "platform/video/FrameSource.h"
#include "testing/moviegen/MovieGen.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>

namespace fs = std::filesystem;
using namespace qxm::video;
namespace mg = qxm::moviegen;

namespace {

const char* const kKinds[] = {"avi-bgr24", "avi-mjpeg", "avi-mpeg4", "mpg-mpeg1",
                              "mpg-mpeg2", "mov-mpeg4", "mov-h264"};

struct Workspace {
    fs::path root;
    std::map<std::string, std::string> movies;
    Workspace() {
        std::string templ = (fs::temp_directory_path() / "qxm-bench-video-XXXXXX").string();
        root = mkdtemp(templ.data());
        setenv("XDG_CACHE_HOME", (root / "cache").c_str(), 1);
    }
    ~Workspace() {
        std::error_code ec;
        fs::remove_all(root, ec);
    }
    // The movie of a kind, written on first use; empty when the kind cannot be written.
    const std::string& movie(const std::string& kind) {
        auto it = movies.find(kind);
        if (it != movies.end()) return it->second;
        mg::MovieRecipe movieRecipe;
        movieRecipe.kind = kind;
        movieRecipe.width = 640;
        movieRecipe.height = 480;
        movieRecipe.frames = 300;
        movieRecipe.path = mg::PathKind::Curved;
        movieRecipe.speed = 4;
        std::string path = (root / ("movie-" + kind + mg::findKind(kind)->extension)).string();
        std::string why;
        if (!mg::kindAvailable(kind) || !mg::writeMovie(path, movieRecipe, why)) path.clear();
        return movies[kind] = path;
    }
    // 768 x 576 MPEG-4 part 2 AVI of 795 frames with key frames 0, 200, 400 and 600 (the
    // movie of the stepping figures); empty when it cannot be written.
    const std::string& longGop() {
        if (!longGopPath.empty() || !mg::kindAvailable("avi-mpeg4")) return longGopPath;
        mg::MovieRecipe recipe;
        recipe.kind = "avi-mpeg4";
        recipe.width = 768;
        recipe.height = 576;
        recipe.frames = 795;
        recipe.gop = 200;
        recipe.path = mg::PathKind::Curved;
        recipe.speed = 4;
        const std::string path = (root / "long-gop.avi").string();
        std::string why;
        if (mg::writeMovie(path, recipe, why)) longGopPath = path;
        return longGopPath;
    }
    std::string longGopPath;
    void dropCache() {
        std::error_code ec;
        fs::remove_all(root / "cache", ec);
    }
};

Workspace& workspace() {
    static Workspace w;
    return w;
}

std::unique_ptr<FrameSource> openMovie(benchmark::State& state, const std::string& path) {
    OpenStatus status;
    std::string message;
    auto source = FrameSource::open(path, status, &message);
    if (!source) state.SkipWithError(message.c_str());
    return source;
}

void BM_IndexAndOpen(benchmark::State& state) {
    const std::string kind = kKinds[state.range(0)];
    state.SetLabel(kind);
    const std::string& path = workspace().movie(kind);
    if (path.empty()) return state.SkipWithError("kind not available");
    for (auto _ : state) {
        state.PauseTiming();
        workspace().dropCache();
        state.ResumeTiming();
        if (!openMovie(state, path)) break;
    }
}

void BM_OpenCached(benchmark::State& state) {
    const std::string kind = kKinds[state.range(0)];
    state.SetLabel(kind);
    const std::string& path = workspace().movie(kind);
    if (path.empty()) return state.SkipWithError("kind not available");
    if (!openMovie(state, path)) return;
    for (auto _ : state)
        if (!openMovie(state, path)) break;
}

// One read per iteration; order 0 random, 1 sequential.
void BM_Read(benchmark::State& state) {
    const std::string kind = kKinds[state.range(0)];
    const bool random = state.range(1) == 0;
    state.SetLabel(kind + (random ? " random" : " sequential"));
    const std::string& path = workspace().movie(kind);
    if (path.empty()) return state.SkipWithError("kind not available");
    auto source = openMovie(state, path);
    if (!source) return;
    const int frames = source->info().frameCount;
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> pick(0, frames - 1);
    std::vector<uint8_t> bgr;
    std::vector<double> times;
    int next = 0;
    for (auto _ : state) {
        const int n = random ? pick(rng) : next++ % frames;
        const auto t0 = std::chrono::steady_clock::now();
        if (!source->readBgr(n, bgr)) return state.SkipWithError("read failed");
        times.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0)
                .count());
    }
    if (times.empty()) return;
    std::nth_element(times.begin(), times.begin() + times.size() / 2, times.end());
    state.counters["median_ms"] = times[times.size() / 2];
}

// Steps over frames 600 to 699 of the long-GOP movie: forward (0) or backward (1), one
// iteration a hundred steps. Each pass starts on a freshly opened source that has just read a
// distant frame, so that nothing of the pass is held from the pass before.
void BM_LongGopSteps(benchmark::State& state) {
    const bool backward = state.range(0) != 0;
    state.SetLabel(backward ? "backward" : "forward");
    const std::string& path = workspace().longGop();
    if (path.empty()) return state.SkipWithError("the long-GOP movie cannot be written");
    Frame frame;
    for (auto _ : state) {
        state.PauseTiming();
        auto source = openMovie(state, path);
        if (!source || !source->read(250, frame)) return state.SkipWithError("read failed");
        state.ResumeTiming();
        for (int i = 0; i < 100; ++i)
            if (!source->read(backward ? 699 - i : 600 + i, frame))
                return state.SkipWithError("read failed");
    }
    state.SetItemsProcessed(state.iterations() * 100);
}

// Random reads over the whole long-GOP movie, one iteration 20 reads.
void BM_LongGopRandom(benchmark::State& state) {
    const std::string& path = workspace().longGop();
    if (path.empty()) return state.SkipWithError("the long-GOP movie cannot be written");
    auto source = openMovie(state, path);
    if (!source) return;
    std::mt19937 rng(11);
    std::uniform_int_distribution<int> pick(0, source->info().frameCount - 1);
    Frame frame;
    for (auto _ : state)
        for (int i = 0; i < 20; ++i)
            if (!source->read(pick(rng), frame)) return state.SkipWithError("read failed");
    state.SetItemsProcessed(state.iterations() * 20);
}

void allKinds(benchmark::internal::Benchmark* b) {
    for (int i = 0; i < int(std::size(kKinds)); ++i)
        b->Arg(i);
}

void kindsAndOrders(benchmark::internal::Benchmark* b) {
    for (int i = 0; i < int(std::size(kKinds)); ++i) {
        b->Args({i, 0});
        b->Args({i, 1});
    }
}

} // namespace

BENCHMARK(BM_IndexAndOpen)->Apply(allKinds)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_OpenCached)->Apply(allKinds)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Read)->Apply(kindsAndOrders)->Unit(benchmark::kMillisecond)->Iterations(300);

BENCHMARK(BM_LongGopSteps)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LongGopRandom)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
