#pragma once
// Internal to the frame source: probing a movie with libavformat, and rewriting streams whose
// random access is unreliable into a Matroska file whose timestamps give the true
// presentation order.
#include "platform/video/FrameSource.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace qxm::video::detail {

struct ProbeResult {
    OpenStatus status = OpenStatus::Ok;
    std::string message;
    std::string kind;     // "<container>/<codec>", e.g. "avi/mpeg4"
    int streamIndex = -1; // first video stream
    bool needsRemux = false;
    bool palettised = false;
    int64_t declaredFrames = 0; // frame count the container claims, 0 when unknown
    // AVI only, when its index holds fewer pictures than frames (a capture dropped some): the
    // frame number of each real picture, ascending. Empty otherwise.
    std::vector<int32_t> pictureFrames;
    int fpsNum = 0, fpsDen = 1;
};

ProbeResult probeMovie(const std::string& path);

// Progress of a remux in [0, total].
using StepProgress = std::function<void(int64_t done, int64_t total)>;

enum class RemuxResult {
    Done,
    Unmappable, // decoded frames cannot be tied one to one to packets; nothing written
    Failed,     // reading or writing failed; nothing written
};

// Copies the video stream of src into the Matroska file dst. Every packet gets as timestamp
// the position of its picture in presentation order, found by decoding the whole stream
// once, so that frame n is the packet with timestamp n frame durations.
RemuxResult remuxToMatroska(const std::string& src, int streamIndex, const std::string& dst,
                            const StepProgress& progress, std::string& error);

} // namespace qxm::video::detail
