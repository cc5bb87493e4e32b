#pragma once
// The process-wide tracking context behind the exported functions.
#include "imaging/include/qxmimlib.h"
#include "tracking/MovieFrames.h"
#include "tracking/Params.h"

#include <cstdint>
#include <memory>

namespace qxm::track {

class FramePair;

struct Context {
    std::string path;
    MovieKind kind = MovieKind::Other;
    int32_t width = 0, height = 0;
    std::unique_ptr<DibSource> movie;
    ImBufHandle bufferA = -1, bufferB = -1;
    std::unique_ptr<GrayReader> reader;
    std::unique_ptr<FramePair> frames; // holds the gray buffer
    Params params = Params::closed();
    bool open() const { return frames != nullptr; }
};

// The one context of the process.
Context& context();

// Everything InitSetAuto does after the movie is open, on any supplier of frames: creates the
// image buffers (-112) and the gray buffer (-121), then reads the parameters. On failure the
// context is closed again.
int32_t openContext(std::unique_ptr<DibSource> movie, int32_t width, int32_t height,
                    const char* iniPath);
void closeContext();

} // namespace qxm::track
