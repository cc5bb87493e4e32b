// ImPatExecute on a 640 x 480 picture with square models of 24, 48, 96 and 160 pixels, searched
// +-40 pixels around the true place and over the whole image, next to the same work done by
// the plain reference implementation (the ratio of the two is the speed-up).
#include "Reference.h"
#include "qxmimlib.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>

namespace {

constexpr int kWidth = 640, kHeight = 480;

struct Workload {
    qxm::imref::Image frame, next, model;
    int cx = 0, cy = 0;
};

// Two frames: structured content and a slightly moved, noisy copy; the model is cut from the
// first frame near the middle.
const Workload& workload(int size) {
    static Workload cache[4];
    const int slot = size == 24 ? 0 : size == 48 ? 1 : size == 96 ? 2 : 3;
    Workload& w = cache[slot];
    if (w.frame.width == 0) {
        std::mt19937 rng(4711);
        w.frame = qxm::imref::makeContent(kWidth, kHeight, qxm::imref::Content::Mixed, rng);
        w.next = qxm::imref::shiftedNoisyCopy(w.frame, 3, -2, 6, rng);
        const int x = 300 - size / 2, y = 220 - size / 2;
        w.model = qxm::imref::cut(w.frame, x, y, size, size);
        w.cx = x + (size - 1) / 2 + 3;
        w.cy = y + (size - 1) / 2 - 2;
    }
    return w;
}

// Search area: +-40 around the true place (local) or the whole image.
void setArea(qxm::imref::Image& img, const Workload& w, bool local) {
    if (local) {
        img.sx = std::max(w.cx - 40, 0);
        img.sy = std::max(w.cy - 40, 0);
        img.sw = std::min(w.cx + 40, kWidth - 1) - img.sx + 1;
        img.sh = std::min(w.cy + 40, kHeight - 1) - img.sy + 1;
    } else {
        img.sx = img.sy = 0;
        img.sw = kWidth;
        img.sh = kHeight;
    }
}

void BM_Library(benchmark::State& state) {
    const int size = int(state.range(0));
    const bool local = state.range(1) != 0;
    const Workload& w = workload(size);
    qxm::imref::Image target = w.next;
    setArea(target, w, local);

    ImBufHandle image = 0, source = 0, model = 0;
    ImBufAlloc(kWidth, kHeight, 8, &image);
    ImBufAlloc(kWidth, kHeight, 8, &source);
    ImBufPut(image, -1, -1, -1, -1, target.pixels.data());
    ImBufPut(source, -1, -1, -1, -1, w.frame.pixels.data());
    ImPatAllocModel(source, &model, 300 - size / 2, 220 - size / 2, size, size);
    ImPatSetSearchArea(image, target.sx, target.sy, target.sw, target.sh);
    ImPatSetAccept(10.0);
    ImPatUseSecondPixel(0);
    ImPatSetSearchLevel(7, 0);
    ImPatResult* results = nullptr;
    ImPatAllocResult(&results, 10);
    int32_t hits = 0;
    for (auto _ : state) {
        hits = ImPatExecute(model, image, results);
        benchmark::DoNotOptimize(hits);
    }
    state.counters["hits"] = hits;
    state.counters["score"] = hits > 0 ? results[0].score : 0;
    ImPatFreeResult(results);
    ImPatFreeModel(model);
    ImBufFree(source);
    ImBufFree(image);
}

void BM_Reference(benchmark::State& state) {
    const int size = int(state.range(0));
    const bool local = state.range(1) != 0;
    const Workload& w = workload(size);
    qxm::imref::Image target = w.next;
    setArea(target, w, local);
    const qxm::imref::Params params; // acceptance 10, levels 7 to 0, every pixel
    int hits = 0;
    double score = 0;
    for (auto _ : state) {
        const auto out = qxm::imref::execute(w.model, target, params, 10);
        hits = out.code;
        score = out.hits.empty() ? 0 : out.hits[0].score;
        benchmark::DoNotOptimize(hits);
    }
    state.counters["hits"] = hits;
    state.counters["score"] = score;
}

void arguments(benchmark::internal::Benchmark* b) {
    for (int local : {1, 0})
        for (int size : {24, 48, 96, 160})
            b->Args({size, local});
    // Large searches run on two threads: the time is wall-clock time, the CPU time that of
    // the whole process.
    b->ArgNames({"model", "local"})
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->MeasureProcessCPUTime();
}

BENCHMARK(BM_Library)->Apply(arguments);
BENCHMARK(BM_Reference)->Apply(arguments);

} // namespace

BENCHMARK_MAIN();
