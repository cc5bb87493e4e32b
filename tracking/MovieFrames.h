#pragma once
// The frame source of the tracker: the movie kind rule, opening a movie, and handing every
// frame over as a packed device-independent bitmap. The bitmap parsing (GrayFrame.h) and the
// frame pair cache (FramePair.h) only see DibSource, so they run on any supplier of bitmaps.
#include "platform/video/FrameSource.h"
#include "tracking/GrayFrame.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace qxm::track {

enum class MovieKind { Avi, Mov, Other };

// Lowers the path; ".avi" at a position above 1 makes it AVI, else ".mov" there makes it MOV.
MovieKind movieKind(const std::string& path);

// Supplies frame n as a packed bitmap. Returns false when the frame cannot be fetched.
class DibSource {
public:
    virtual ~DibSource() = default;
    virtual bool dib(int32_t n, std::vector<uint8_t>& out) = 0;
    // Another source of the same frames, bit for bit, that another thread may read while this
    // one is read; null when there is none.
    virtual std::unique_ptr<DibSource> twin() { return nullptr; }
};

class ReadAhead;

// Reads frames of a DibSource into a gray buffer of the movie's size.
class GrayReader {
public:
    GrayReader(DibSource& source, int32_t width, int32_t height, const GrayWeights& weights);
    ~GrayReader();
    // 0, -601, -602 or -603.
    int32_t read(int32_t n, uint8_t* gray);
    // From here until stopReadAhead, the next frames of a walk within first..last are decoded
    // while the caller works on the current one (see ReadAhead.h): by two threads when the
    // source has a twin, else by one. The walk is guessed to start on first with the given
    // step. Results stay exactly those of plain reading. Without a thread, reading stays plain.
    void startReadAhead(int32_t first, int32_t last, int32_t step = 0);
    void stopReadAhead();
    const ReadAhead* readAhead() const { return ahead_.get(); }
    int32_t width() const { return width_; }
    int32_t height() const { return height_; }
    void setWeights(const GrayWeights& w) { weights_ = w; }

private:
    DibSource& source_;
    int32_t width_, height_;
    GrayWeights weights_;
    std::vector<uint8_t> dib_;        // reused between frames
    std::unique_ptr<DibSource> twin_; // asked for once, at the first reading ahead
    bool twinAsked_ = false;
    std::unique_ptr<ReadAhead> ahead_;
};

// A movie opened through the platform's frame-exact video access.
class Movie : public DibSource {
public:
    ~Movie() override;
    // 0, -101 (cannot be opened), -102 (no usable size), -103 (no video stream) or -104 (its
    // frames cannot be decoded).
    static int32_t open(const std::string& path, std::unique_ptr<Movie>& out);
    bool dib(int32_t n, std::vector<uint8_t>& out) override;
    // The movie opened once more; the two share the bound of the frames kept for stepping
    // back, half each.
    std::unique_ptr<DibSource> twin() override;
    int32_t width() const { return width_; }
    int32_t height() const { return height_; }
    int32_t frameCount() const { return frameCount_; }

private:
    Movie() = default;
    // The file opened: its path and what tells it from a file put in its place since.
    std::string path_;
    struct Identity {
        uint64_t device = 0, inode = 0;
        int64_t size = -1, modified = 0;
        bool operator==(const Identity&) const = default;
    };
    static Identity identify(const std::string& path);
    Identity identity_;
    std::unique_ptr<video::FrameSource> source_;
    video::Frame frame_; // reused between frames
    int32_t width_ = 0, height_ = 0, frameCount_ = 0;
};

} // namespace qxm::track
