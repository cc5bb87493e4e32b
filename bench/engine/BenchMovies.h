#pragma once
// The engine benchmarks' movies: written once into QXM_BENCH_DIR (default a folder under the
// temporary folder) and kept there for later runs.
#include "testing/moviegen/MovieGen.h"

#include <QApplication>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace qxm::bench {

inline std::filesystem::path benchDir() {
    const char* dir = std::getenv("QXM_BENCH_DIR");
    return dir && *dir ? std::filesystem::path(dir)
                       : std::filesystem::temp_directory_path() / "qxm-engine-bench";
}

// Writes the movie to benchDir()/name unless it is there already; its path, or "" on failure.
inline std::string benchMovie(const std::string& name, const moviegen::MovieRecipe& recipe) {
    std::filesystem::create_directories(benchDir());
    const std::string path = (benchDir() / name).string();
    if (std::filesystem::exists(path)) return path;
    std::fprintf(stderr, "writing %s ...\n", path.c_str());
    std::string error;
    if (!moviegen::writeMovie(path, recipe, error)) {
        std::fprintf(stderr, "cannot write the movie: %s\n", error.c_str());
        return {};
    }
    return path;
}

// The benchmarks' main: an offscreen application, the frame cache beside the movies, and
// prepare (writing the movies) before the first benchmark.
inline int runBenchmarks(int argc, char** argv, bool (*prepare)()) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("XDG_CACHE_HOME", (benchDir() / "cache").c_str(), 1);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (!prepare()) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

} // namespace qxm::bench
