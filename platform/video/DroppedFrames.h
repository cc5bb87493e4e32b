#pragma once
// Internal to the frame source: AVI files whose capture dropped frames. The index of such a
// file holds an empty entry for each dropped frame, meaning "the picture before stands here";
// the decoder sees only the real pictures. Frame n of the movie is the last real picture at
// or before n, whatever order frames are asked in.
#include "platform/video/FrameSource.h"

#include <memory>
#include <vector>

namespace qxm::video::detail {

// The index of the picture frame n shows: the last entry of pictureFrames (the frame numbers
// of the real pictures, ascending) at or before n; the first picture before it.
int32_t pictureAt(const std::vector<int32_t>& pictureFrames, int32_t n);

class DroppedFramesSource : public FrameSource {
public:
    // pictures decodes the real pictures only; frameCount counts every index entry.
    DroppedFramesSource(std::unique_ptr<FrameSource> pictures, std::vector<int32_t> pictureFrames,
                        int32_t frameCount);
    const MovieInfo& info() const override { return info_; }
    bool read(int32_t n, Frame& out) override;
    bool readBgr(int32_t n, std::vector<uint8_t>& out) override;
    void setCacheLimit(std::size_t bytes) override { pictures_->setCacheLimit(bytes); }
    std::size_t cacheLimit() const override { return pictures_->cacheLimit(); }

private:
    std::unique_ptr<FrameSource> pictures_;
    std::vector<int32_t> pictureFrames_;
    MovieInfo info_;
};

} // namespace qxm::video::detail
