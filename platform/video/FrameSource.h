#pragma once
// Frame-exact access to the frames of a movie file, by frame number in presentation order.
// Qt-free; part of libqxmplatform. Shared by the tracking library's frame source, the movie
// engine and the frame tool.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace qxm::video {

// Why opening failed. The numbers are stable: callers map them to their own codes.
enum class OpenStatus : int {
    Ok = 0,
    NotFound = 1,   // no such file
    Unreadable = 2, // exists but cannot be read or is not a movie container we understand
    NoVideo = 3,    // container opened but holds no decodable video stream
    BadSize = 4,    // video stream without a usable picture size or frame count
};

struct MovieInfo {
    int32_t frameCount = 0;
    int32_t width = 0;
    int32_t height = 0;
    int32_t fpsNum = 0; // frame rate as a fraction (fpsNum / fpsDen frames a second)
    int32_t fpsDen = 1;
    bool palettised = false; // frames come as 8-bit indices into a 256-entry palette
    std::string kind;        // short description, e.g. "avi/mpeg4", "mpeg/mpeg2video"
    double fps() const { return fpsDen ? double(fpsNum) / fpsDen : 0.0; }
};

// One decoded frame. Rows are top row first and packed without padding:
// Bgr24: width*3 bytes a row, bytes blue, green, red.
// Pal8:  width bytes a row, indices into palette (0x00RRGGBB entries).
struct Frame {
    enum class Kind { Bgr24, Pal8 } kind = Kind::Bgr24;
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> pixels;
    std::vector<uint32_t> palette; // 256 entries for Pal8, empty for Bgr24
};

// Progress of indexing while opening: done and total in arbitrary units (bytes).
using Progress = std::function<void(int64_t done, int64_t total)>;

class FrameSource {
public:
    virtual ~FrameSource() = default;

    // Opens a movie. On failure returns null and sets status (and a readable reason in
    // *message when given). Indexes and remuxes are cached under
    // ${XDG_CACHE_HOME:-~/.cache}/qxm/, keyed by the movie's path, size and modification time.
    static std::unique_ptr<FrameSource> open(const std::string& path, OpenStatus& status,
                                             std::string* message = nullptr,
                                             const Progress& progress = {});

    virtual const MovieInfo& info() const = 0;

    // Decodes frame n (0 <= n < frameCount) exactly, whatever order frames are asked in.
    // Returns false when n is out of range or decoding failed. Pal8 movies give Pal8 frames.
    virtual bool read(int32_t n, Frame& out) = 0;

    // Same frame always as 24-bit BGR, top row first, width*3 bytes a row.
    virtual bool readBgr(int32_t n, std::vector<uint8_t>& out) = 0;

    // The decoded frames of the group of pictures last decoded are kept, so that stepping
    // backward costs about what stepping forward does. This bounds the memory they take
    // (pixels and palettes); 0 keeps none. Sources that keep nothing ignore it.
    virtual void setCacheLimit(std::size_t bytes) { (void)bytes; }
    virtual std::size_t cacheLimit() const { return 0; }
    // The bound a source starts with: QXM_FRAME_CACHE_MB megabytes when that is set to a
    // number, else 256 MB.
    static std::size_t defaultCacheLimit();
};

// What the decoders report while frames are read (a picture only partly decoded, damaged
// data), as their own lines of text, for programs that show them; by default nothing is said.
// The handler may be called on any thread that decodes; an empty handler removes it.
using DecoderMessages = std::function<void(const std::string&)>;
void setDecoderMessageHandler(DecoderMessages handler);

// Packs a frame as a device-independent bitmap: 40-byte header (size 40, width, positive
// height, 1 plane, 24 or 8 bits, no compression, image size = row length * height, colours
// used 0 or 256), the 256-entry colour table (blue, green, red, 0) for Pal8, then the rows
// bottom row first, each padded to a multiple of 4 bytes.
std::vector<uint8_t> packDib(const Frame& frame);

} // namespace qxm::video
