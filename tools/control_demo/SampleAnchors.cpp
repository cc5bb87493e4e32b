// qxm-sample-anchors: writes the anchor object file of a test movie from its truth file, one
// anchor that follows the moving object, through the editor's anchor file writer.
//
//   qxm-sample-anchors TRUTH MOVIE [STEP]
//
// A key frame every STEP frames (default 5) and at the last frame; frames where the object is
// out of the picture end the anchor. Exit status: 0 written, 1 failed, 2 bad command line.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "editor/anchors/AnchorFile.h"
#include "testing/moviegen/MovieGen.h"

int main(int argc, char** argv) {
    if (argc < 3 || argc > 4) {
        std::fprintf(stderr, "usage: qxm-sample-anchors TRUTH MOVIE [STEP]\n");
        return 2;
    }
    const int step = argc == 4 ? std::atoi(argv[3]) : 5;
    if (step < 1) {
        std::fprintf(stderr, "qxm-sample-anchors: STEP must be at least 1\n");
        return 2;
    }
    std::vector<qxm::moviegen::Rect> rects;
    std::string error;
    if (!qxm::moviegen::readTruth(argv[1], rects, error)) {
        std::fprintf(stderr, "qxm-sample-anchors: %s\n", error.c_str());
        return 1;
    }
    std::vector<qxm::anchors::FrameEntry> entries;
    for (int f = 0; f < int(rects.size()); ++f) {
        const auto& r = rects[std::size_t(f)];
        if (r.right <= r.left || r.bottom <= r.top) break; // the object has left the picture
        const bool last = f + 1 == int(rects.size()) ||
                          rects[std::size_t(f) + 1].right <= rects[std::size_t(f) + 1].left;
        if (f % step == 0 || last) entries.push_back({f, r.left, r.top, r.right, r.bottom});
    }
    if (entries.size() < 2) {
        std::fprintf(stderr, "qxm-sample-anchors: the object is in the picture too briefly\n");
        return 1;
    }
    const std::filesystem::path movie(argv[2]);
    if (!qxm::anchors::WriteAnchorObjectFile(
            movie.parent_path().string(), movie.stem().string(),
            {qxm::anchors::MakeAnchorRecord("OBJ1", "Moving object", std::move(entries))})) {
        std::fprintf(stderr, "qxm-sample-anchors: the anchor file cannot be written\n");
        return 1;
    }
    return 0;
}
