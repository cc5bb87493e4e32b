// qxm-make-movie: writes a synthetic test movie and the object's true rectangle per frame.
//
// Truth file format (default OUTPUT.truth): lines starting with '#' are comments; every other
// line is "frame left top right bottom" in decimal picture pixels, right and bottom exclusive,
// the moving object's rectangle clipped to the picture, one line per frame from frame 0.
//
// Exit status: 0 written, 1 writing failed, 2 bad command line, 3 kind not available in this
// FFmpeg build (nothing written).
#include "QxmVersion.h"
#include "testing/moviegen/MovieGen.h"

extern "C" {
#include <libavutil/log.h>
}

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

using namespace qxm::moviegen;

void usage(FILE* to) {
    std::fprintf(to, "usage: qxm-make-movie [options] OUTPUT\n"
                     "Writes a test movie: a frame-number barcode in a strip along the top, a\n"
                     "textured background and a textured object moving along a path.\n"
                     "\n"
                     "options:\n"
                     "  --kind K        movie kind (default avi-bgr24), see --list-kinds\n"
                     "  --size WxH      picture size (default 160x120; even numbers)\n"
                     "  --frames N      number of frames (default 90)\n"
                     "  --fps N         frames a second (default 25)\n"
                     "  --path P        straight, curved, pause or leave (default straight)\n"
                     "  --speed S       pixels a frame along the path (default 2)\n"
                     "  --seed N        texture seed (default 1)\n"
                     "  --gop N         frames from one key frame to the next (default 12)\n"
                     "  --object WxH    object size (default a fifth of the width by a quarter of\n"
                     "                  the height)\n"
                     "  --drop N,M,...  AVI kinds: frames a capture dropped (empty index entries;\n"
                     "                  the picture before stands for each)\n"
                     "  --truth FILE    truth file (default OUTPUT.truth)\n"
                     "  --tone RATE     add a tone track of RATE samples a second (e.g. 48000);\n"
                     "                  frame n sounds at 600 + 200 * (n mod 16) Hz\n"
                     "  --list-kinds    list the kinds and whether each can be written here\n"
                     "  --help          this text\n"
                     "  --version       the version\n"
                     "\n"
                     "Truth file: '#' lines are comments; then one line per frame\n"
                     "  frame left top right bottom\n"
                     "right and bottom exclusive, the object's rectangle clipped to the picture.\n"
                     "\n"
                     "Exit status: 0 written, 1 failed, 2 bad arguments, 3 kind not available.\n");
}

bool parseSize(const char* text, int& w, int& h) {
    char x = 0;
    char rest = 0;
    return std::sscanf(text, "%d%c%d%c", &w, &x, &h, &rest) == 3 && (x == 'x' || x == 'X');
}

bool parseInt(const char* text, long min, long max, int& out) {
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text, &end, 10);
    if (errno || end == text || *end || v < min || v > max) return false;
    out = int(v);
    return true;
}

int bad(const std::string& why) {
    std::fprintf(stderr, "qxm-make-movie: %s\n", why.c_str());
    std::fprintf(stderr, "try 'qxm-make-movie --help'\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    av_log_set_level(AV_LOG_ERROR);
    MovieRecipe movieRecipe;
    std::string output, truth;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](const char*& out) {
            if (i + 1 >= argc) return false;
            out = argv[++i];
            return true;
        };
        const char* v = nullptr;
        if (arg == "--help" || arg == "-h") {
            usage(stdout);
            return 0;
        } else if (arg == "--version") {
            std::printf("qxm-make-movie (%s) %s\n", QXM_PRODUCT, QXM_VERSION);
            return 0;
        } else if (arg == "--list-kinds") {
            for (const auto& k : movieKinds())
                std::printf("%-10s %-4s %-9s %s\n", k.name.c_str(), k.extension.c_str(),
                            kindAvailable(k.name) ? "available" : "missing", k.description.c_str());
            return 0;
        } else if (arg == "--kind") {
            if (!value(v)) return bad("--kind needs a value");
            movieRecipe.kind = v;
        } else if (arg == "--size") {
            if (!value(v) || !parseSize(v, movieRecipe.width, movieRecipe.height))
                return bad("--size needs WxH, e.g. 160x120");
        } else if (arg == "--object") {
            if (!value(v) || !parseSize(v, movieRecipe.objectWidth, movieRecipe.objectHeight))
                return bad("--object needs WxH, e.g. 32x30");
        } else if (arg == "--frames") {
            if (!value(v) || !parseInt(v, 1, kMaxFrames, movieRecipe.frames))
                return bad("--frames needs a number from 1 to " + std::to_string(kMaxFrames));
        } else if (arg == "--fps") {
            if (!value(v) || !parseInt(v, 1, 120, movieRecipe.fps))
                return bad("--fps needs a number from 1 to 120");
        } else if (arg == "--gop") {
            if (!value(v) || !parseInt(v, 1, 1000, movieRecipe.gop))
                return bad("--gop needs a number from 1 to 1000");
        } else if (arg == "--seed") {
            int seed = 0;
            if (!value(v) || !parseInt(v, 0, 2147483647, seed))
                return bad("--seed needs a non-negative number");
            movieRecipe.seed = uint32_t(seed);
        } else if (arg == "--speed") {
            char* end = nullptr;
            if (!value(v)) return bad("--speed needs a value");
            movieRecipe.speed = std::strtod(v, &end);
            if (end == v || *end) return bad("--speed needs a number");
        } else if (arg == "--path") {
            if (!value(v) || !parsePath(v, movieRecipe.path))
                return bad("--path needs straight, curved, pause or leave");
        } else if (arg == "--tone") {
            if (!value(v) || !parseInt(v, 8000, 96000, movieRecipe.toneRate))
                return bad("--tone needs a sample rate from 8000 to 96000");
        } else if (arg == "--drop") {
            if (!value(v)) return bad("--drop needs frame numbers");
            std::string list = v;
            for (std::size_t at = 0; at <= list.size();) {
                const std::size_t comma = std::min(list.find(',', at), list.size());
                int frame = 0;
                if (!parseInt(list.substr(at, comma - at).c_str(), 0, kMaxFrames, frame))
                    return bad("--drop needs frame numbers separated by commas");
                movieRecipe.dropped.push_back(frame);
                at = comma + 1;
            }
        } else if (arg == "--truth") {
            if (!value(v)) return bad("--truth needs a file name");
            truth = v;
        } else if (!arg.empty() && arg[0] == '-') {
            return bad("unknown option " + arg);
        } else if (output.empty()) {
            output = arg;
        } else {
            return bad("only one OUTPUT may be given");
        }
    }
    if (output.empty()) return bad("no OUTPUT given");
    if (truth.empty()) truth = output + ".truth";
    std::string error;
    if (!validate(movieRecipe, error)) return bad(error);
    if (!kindAvailable(movieRecipe.kind)) {
        std::fprintf(stderr, "qxm-make-movie: kind %s is not available in this FFmpeg build\n",
                     movieRecipe.kind.c_str());
        return 3;
    }
    if (!writeMovie(output, movieRecipe, error) || !writeTruth(truth, movieRecipe, error)) {
        std::fprintf(stderr, "qxm-make-movie: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
