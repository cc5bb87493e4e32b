// qxm-frames: frame-exact inspection of a movie.
//   qxm-frames MOVIE --info            frame count, width, height, frame rate and kind
//   qxm-frames MOVIE --hash [N ...]    "N HASH" per frame, in the order asked (all when none)
//   qxm-frames MOVIE --ppm DIR N ...   frames as DIR/frame-NNNNNN.ppm
// HASH is FNV-1a 64-bit over the frame's blue, green, red bytes row by row from the top row,
// without padding, as 16 lower-case hex digits.
// Exit status: 0 done, 1 the movie cannot be opened or a frame cannot be read or written,
// 2 bad command line.
#include "QxmVersion.h"
#include "platform/video/FrameSource.h"
#include "platform/video/Hash.h"

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using namespace qxm::video;

void usage(FILE* to) {
    std::fprintf(to, "usage: qxm-frames MOVIE --info\n"
                     "       qxm-frames MOVIE --hash [N ...]\n"
                     "       qxm-frames MOVIE --ppm DIR N ...\n"
                     "       qxm-frames --help | --version\n"
                     "Frames are numbered from 0 in presentation order.\n"
                     "HASH: FNV-1a 64-bit over the B, G, R bytes of each row from the top,\n"
                     "without padding, printed as 16 lower-case hex digits.\n");
}

int bad(const std::string& why) {
    std::fprintf(stderr, "qxm-frames: %s\n", why.c_str());
    usage(stderr);
    return 2;
}

bool parseFrame(const char* text, int32_t& out) {
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(text, &end, 10);
    if (errno || end == text || *end || v < 0 || v > INT32_MAX) return false;
    out = int32_t(v);
    return true;
}

bool writePpm(const std::string& file, int w, int h, const std::vector<uint8_t>& bgr) {
    FILE* f = std::fopen(file.c_str(), "wb");
    if (!f) return false;
    std::fprintf(f, "P6\n%d %d\n255\n", w, h);
    std::vector<uint8_t> rgb(bgr.size());
    for (size_t i = 0; i + 2 < bgr.size(); i += 3) {
        rgb[i] = bgr[i + 2];
        rgb[i + 1] = bgr[i + 1];
        rgb[i + 2] = bgr[i];
    }
    const bool ok = std::fwrite(rgb.data(), 1, rgb.size(), f) == rgb.size();
    return std::fclose(f) == 0 && ok;
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
        usage(stdout);
        return 0;
    }
    if (argc >= 2 && std::string(argv[1]) == "--version") {
        std::printf("qxm-frames (%s) %s\n", QXM_PRODUCT, QXM_VERSION);
        return 0;
    }
    if (argc < 3) return bad("a movie and a command are needed");
    const std::string movie = argv[1], command = argv[2];
    std::string dir;
    int first = 3;
    if (command == "--ppm") {
        if (argc < 5) return bad("--ppm needs a folder and at least one frame number");
        dir = argv[3];
        first = 4;
    } else if (command == "--info") {
        if (argc != 3) return bad("--info takes no further arguments");
    } else if (command != "--hash") {
        return bad("unknown command " + command);
    }
    std::vector<int32_t> frames;
    for (int i = first; i < argc; ++i) {
        int32_t n;
        if (!parseFrame(argv[i], n)) return bad(std::string("not a frame number: ") + argv[i]);
        frames.push_back(n);
    }

    OpenStatus status;
    // What the decoder knows about damaged data (a picture only partly decoded) is said.
    qxm::video::setDecoderMessageHandler([](const std::string& line) {
        std::fprintf(stderr, "qxm-frames: the decoder reports: %s\n", line.c_str());
    });
    std::string message;
    auto source = FrameSource::open(movie, status, &message);
    if (!source) {
        std::fprintf(stderr, "qxm-frames: %s\n", message.c_str());
        return 1;
    }
    const MovieInfo& info = source->info();
    if (command == "--info") {
        std::printf("frames %d\nwidth %d\nheight %d\nfps %d/%d (%.3f)\nkind %s%s\n",
                    info.frameCount, info.width, info.height, info.fpsNum, info.fpsDen, info.fps(),
                    info.kind.c_str(), info.palettised ? " (256 colours)" : "");
        return 0;
    }
    if (frames.empty())
        for (int32_t n = 0; n < info.frameCount; ++n)
            frames.push_back(n);
    for (int32_t n : frames)
        if (n >= info.frameCount) {
            std::fprintf(stderr, "qxm-frames: frame %d is out of range (the movie has %d)\n", n,
                         info.frameCount);
            return 1;
        }
    std::vector<uint8_t> bgr;
    for (int32_t n : frames) {
        if (!source->readBgr(n, bgr)) {
            std::fprintf(stderr, "qxm-frames: cannot decode frame %d\n", n);
            return 1;
        }
        if (command == "--hash") {
            std::printf("%d %016" PRIx64 "\n", n, fnv1a64(bgr.data(), bgr.size()));
        } else {
            char name[32];
            std::snprintf(name, sizeof name, "/frame-%06d.ppm", n);
            if (!writePpm(dir + name, info.width, info.height, bgr)) {
                std::fprintf(stderr, "qxm-frames: cannot write %s%s\n", dir.c_str(), name);
                return 1;
            }
        }
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}
