// ExecSetAuto over a 640 x 480, 300-frame MPEG-4 movie against decoding and gray-converting the
// same frames alone. The ratio of the two is printed at the end: it says how much the matching,
// the pair cache and the passes cost beside the decoding.
#include "tracking/GrayFrame.h"
#include "tracking/MovieFrames.h"
#include "tracking/include/qxmtrack.h"

#include <benchmark/benchmark.h>

#include <algorithm>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <vector>

namespace fs = std::filesystem;
using namespace qxm::track;

namespace {

constexpr int kFrames = 300;

struct Rect4 {
    int l, t, r, b;
};

struct Movie {
    std::string path;
    std::vector<Rect4> truth;
    std::string error;
};

fs::path binDir() {
    if (const char* d = std::getenv("QXM_BIN_DIR")) return d;
    return fs::read_symlink("/proc/self/exe").parent_path();
}

const Movie& movie() {
    static const Movie m = [] {
        Movie out;
        const fs::path dir =
            fs::temp_directory_path() / ("qxmtrack-bench-" + std::to_string(getpid()));
        fs::create_directories(dir);
        out.path = (dir / "bench.avi").string();
        std::ostringstream cmd;
        cmd << (binDir() / "qxm-make-movie").string() << " --kind avi-mpeg4 --size 640x480"
            << " --frames " << kFrames << " --path straight --speed 3 --object 96x80 " << out.path
            << " > /dev/null";
        if (std::system(cmd.str().c_str()) != 0) {
            out.error = "cannot write the movie with " + cmd.str();
            return out;
        }
        std::ifstream in(out.path + ".truth");
        std::string line;
        while (std::getline(in, line)) {
            if (line.empty() || line[0] == '#') continue;
            std::istringstream ls(line);
            int f;
            Rect4 r;
            ls >> f >> r.l >> r.t >> r.r >> r.b;
            out.truth.push_back(r);
        }
        return out;
    }();
    return m;
}

// The parameter file: QXM_BENCH_INI when set, else none at all (every default).
const char* iniPath() {
    const char* p = std::getenv("QXM_BENCH_INI");
    return p && *p ? p : "/nonexistent/qxmtrack.ini";
}

// The frames the forward pass visits with the default frame step.
std::vector<int32_t> visited() {
    std::vector<int32_t> v;
    for (int32_t n = 0; n < kFrames - 1; n += 5)
        v.push_back(n);
    v.push_back(kFrames - 1);
    return v;
}

void BM_ExecSetAuto(benchmark::State& state) {
    const Movie& m = movie();
    if (!m.error.empty() || m.truth.size() != kFrames) {
        state.SkipWithError(m.error.empty() ? "bad truth file" : m.error.c_str());
        return;
    }
    if (InitSetAuto(m.path.c_str(), iniPath()) != 0) {
        state.SkipWithError("InitSetAuto failed");
        return;
    }
    const Rect4 s = m.truth.front(), e = m.truth.back();
    int32_t records = 0, rating = -1;
    for (auto _ : state) {
        SetAutoAnchorRecord* rec = nullptr;
        rating =
            ExecSetAuto(0, kFrames - 1, s.l, s.t, s.r, s.b, e.l, e.t, e.r, e.b, &records, &rec);
        FreeSetAutoAnchorData(rec);
    }
    ExitSetAuto();
    state.counters["rating"] = rating;
    state.counters["records"] = records;
}

void BM_DecodeAndGray(benchmark::State& state) {
    const Movie& m = movie();
    std::unique_ptr<qxm::track::Movie> src;
    if (!m.error.empty() || qxm::track::Movie::open(m.path, src) != 0) {
        state.SkipWithError("cannot open the movie");
        return;
    }
    GrayReader reader(*src, src->width(), src->height(), GrayWeights(0.299, 0.587, 0.114));
    std::vector<uint8_t> gray(std::size_t(src->width()) * src->height());
    const std::vector<int32_t> frames = visited();
    for (auto _ : state) {
        for (int32_t n : frames)
            if (reader.read(n, gray.data()) != 0) state.SkipWithError("frame read failed");
        benchmark::DoNotOptimize(gray.data());
    }
    state.counters["frames"] = double(frames.size());
}

// Gray conversion alone of one 640 x 480 frame.
void BM_GrayOnly(benchmark::State& state) {
    const Movie& m = movie();
    std::unique_ptr<qxm::track::Movie> src;
    if (!m.error.empty() || qxm::track::Movie::open(m.path, src) != 0) {
        state.SkipWithError("cannot open the movie");
        return;
    }
    std::vector<uint8_t> dib;
    src->dib(100, dib);
    const GrayWeights w(0.299, 0.587, 0.114);
    std::vector<uint8_t> gray(std::size_t(src->width()) * src->height());
    for (auto _ : state) {
        readGrayDib(dib.data(), dib.size(), src->width(), src->height(), w, gray.data());
        benchmark::DoNotOptimize(gray.data());
    }
    state.SetItemsProcessed(state.iterations() * int64_t(gray.size()));
}

BENCHMARK(BM_ExecSetAuto)->Unit(benchmark::kMillisecond)->MinTime(1.0)->Repetitions(5);
BENCHMARK(BM_DecodeAndGray)->Unit(benchmark::kMillisecond)->MinTime(1.0)->Repetitions(5);
BENCHMARK(BM_GrayOnly)->Unit(benchmark::kMicrosecond);

// Keeps the real and CPU time of every repetition so that the ratio of the medians can be
// printed (the machine may be shared; the medians and CPU times steady the figure).
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs)
            if (r.run_type == Run::RT_Iteration && r.iterations > 0) {
                auto& t = times[r.run_name.function_name];
                t.real.push_back(r.real_accumulated_time / double(r.iterations));
                t.cpu.push_back(r.cpu_accumulated_time / double(r.iterations));
            }
        ConsoleReporter::ReportRuns(runs);
    }
    struct Times {
        std::vector<double> real, cpu;
    };
    std::map<std::string, Times> times;
};

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto exec = reporter.times.find("BM_ExecSetAuto");
    const auto decode = reporter.times.find("BM_DecodeAndGray");
    if (exec != reporter.times.end() && decode != reporter.times.end()) {
        const double er = median(exec->second.real), dr = median(decode->second.real);
        const double ec = median(exec->second.cpu), dc = median(decode->second.cpu);
        std::printf("ExecSetAuto / decode+gray of the same frames: real %.3f (%.1f / %.1f ms), "
                    "cpu %.3f (%.1f / %.1f ms)\n",
                    er / dr, er * 1e3, dr * 1e3, ec / dc, ec * 1e3, dc * 1e3);
    }
    std::error_code ec;
    if (!movie().path.empty()) fs::remove_all(fs::path(movie().path).parent_path(), ec);
    benchmark::Shutdown();
    return 0;
}
