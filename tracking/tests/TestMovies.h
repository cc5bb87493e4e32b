#pragma once
// Movies for the tracking tests from the test-movie writer, with the truth of each frame.
#include <string>
#include <vector>

#include "testing/moviegen/MovieGen.h"
#include "tracking/Tracker.h"

namespace qxm::track::test {

// Writes a movie with the test-movie writer and gives the object's visible rectangle in each
// frame; false when the writer refuses (why says why).
inline bool writeTestMovie(const std::string& path, const moviegen::MovieRecipe& recipe,
                           std::vector<Rect>& truth, std::string& why) {
    if (!moviegen::writeMovie(path, recipe, why)) return false;
    truth.clear();
    for (int n = 0; n < recipe.frames; ++n) {
        const moviegen::Rect r = moviegen::visibleRect(recipe, n);
        truth.push_back({r.left, r.top, r.right, r.bottom});
    }
    return true;
}

} // namespace qxm::track::test
