#pragma once
// Helpers of the frame source tests: a temporary folder, generated movies and a private cache.
#include "testing/moviegen/MovieGen.h"
#include "testing/support/TempFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace qxm::video::testing {

namespace fs = std::filesystem;

using testsupport::TempFolder;

// Points XDG_CACHE_HOME at a fresh folder for the life of the object.
struct PrivateCache {
    TempFolder folder;
    std::string saved;
    bool hadSaved = false;
    PrivateCache() {
        if (const char* old = std::getenv("XDG_CACHE_HOME")) {
            saved = old;
            hadSaved = true;
        }
        setenv("XDG_CACHE_HOME", folder.path.c_str(), 1);
    }
    ~PrivateCache() {
        if (hadSaved)
            setenv("XDG_CACHE_HOME", saved.c_str(), 1);
        else
            unsetenv("XDG_CACHE_HOME");
    }
    fs::path videoFolder() const { return folder.path / "qxm" / "video"; }
};

inline moviegen::MovieRecipe recipeFor(const std::string& kind, int frames) {
    moviegen::MovieRecipe s;
    s.kind = kind;
    s.frames = frames;
    s.path = moviegen::PathKind::Curved;
    s.speed = 3;
    return s;
}

// Writes a movie of the kind into folder and returns its path.
inline std::string makeMovie(const TempFolder& folder, const moviegen::MovieRecipe& movieRecipe,
                             const std::string& stem = "movie") {
    const std::string path = folder / (stem + moviegen::findKind(movieRecipe.kind)->extension);
    std::string why;
    EXPECT_TRUE(moviegen::writeMovie(path, movieRecipe, why)) << movieRecipe.kind << ": " << why;
    return path;
}

} // namespace qxm::video::testing
