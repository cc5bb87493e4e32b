#include "platform/video/DroppedFrames.h"

#include <algorithm>

namespace qxm::video::detail {

int32_t pictureAt(const std::vector<int32_t>& pictureFrames, int32_t n) {
    const auto after = std::upper_bound(pictureFrames.begin(), pictureFrames.end(), n);
    return after == pictureFrames.begin() ? 0 : int32_t(after - pictureFrames.begin()) - 1;
}

DroppedFramesSource::DroppedFramesSource(std::unique_ptr<FrameSource> pictures,
                                         std::vector<int32_t> pictureFrames, int32_t frameCount)
    : pictures_(std::move(pictures)), pictureFrames_(std::move(pictureFrames)),
      info_(pictures_->info()) {
    info_.frameCount = frameCount;
}

bool DroppedFramesSource::read(int32_t n, Frame& out) {
    if (n < 0 || n >= info_.frameCount) return false;
    return pictures_->read(pictureAt(pictureFrames_, n), out);
}

bool DroppedFramesSource::readBgr(int32_t n, std::vector<uint8_t>& out) {
    if (n < 0 || n >= info_.frameCount) return false;
    return pictures_->readBgr(pictureAt(pictureFrames_, n), out);
}

} // namespace qxm::video::detail
