#include "platform/video/GopCache.h"

#include <utility>

namespace qxm::video {

void GopCache::setLimit(std::size_t limitBytes) {
    limit_ = limitBytes;
    trim();
}

std::size_t GopCache::fitting(std::size_t frameBytes) const {
    return frameBytes == 0 ? 0 : limit_ / frameBytes;
}

const Frame* GopCache::find(int32_t n) const {
    if (frames_.empty() || n < first_ || n > last()) return nullptr;
    return &frames_[std::size_t(n - first_)];
}

void GopCache::add(int32_t n, const Frame& frame, bool continues) {
    if (!(continues && !frames_.empty() && n == last() + 1)) clear();
    const std::size_t size = sizeOf(frame);
    if (size > limit_) {
        clear();
        spares_.clear();
        spareBytes_ = 0;
        return;
    }
    // Memory for the new frame: a spare one, else the oldest frame held when the bound is
    // reached, else fresh memory. Nothing held or kept ever passes the bound.
    Frame slot;
    if (!spares_.empty()) {
        slot = std::move(spares_.back());
        spares_.pop_back();
        spareBytes_ -= sizeOf(slot);
    }
    while (bytes_ + spareBytes_ + size > limit_) {
        if (!spares_.empty()) {
            spareBytes_ -= sizeOf(spares_.back());
            spares_.pop_back();
        } else if (!frames_.empty()) {
            bytes_ -= sizeOf(frames_.front());
            slot = std::move(frames_.front());
            frames_.pop_front();
            ++first_;
        } else {
            break;
        }
    }
    slot.kind = frame.kind;
    slot.width = frame.width;
    slot.height = frame.height;
    slot.pixels.assign(frame.pixels.begin(), frame.pixels.end());
    slot.palette.assign(frame.palette.begin(), frame.palette.end());
    frames_.push_back(std::move(slot));
    if (frames_.size() == 1) first_ = n;
    bytes_ += size;
}

void GopCache::release(Frame&& frame) {
    spareBytes_ += sizeOf(frame);
    spares_.push_back(std::move(frame));
}

void GopCache::clear() {
    while (!frames_.empty()) {
        release(std::move(frames_.front()));
        frames_.pop_front();
    }
    bytes_ = 0;
    first_ = -1;
}

void GopCache::trim() {
    while (!spares_.empty() && bytes_ + spareBytes_ > limit_) {
        spareBytes_ -= sizeOf(spares_.back());
        spares_.pop_back();
    }
    while (!frames_.empty() && bytes_ > limit_) {
        bytes_ -= sizeOf(frames_.front());
        frames_.pop_front();
        ++first_;
    }
}

} // namespace qxm::video
