#include "ImBuf.h"

#include <new>

namespace qxm::imlib {

int32_t makeBuffer(int32_t width, int32_t height, int32_t depth, std::unique_ptr<Buffer>& out) {
    if (width < 1 || width > IM_SIZE_MAX || height < 1 || height > IM_SIZE_MAX) return IM_ERR_SIZE;
    if (depth != 8) return IM_ERR_DEPTH;
    try {
        auto buffer = std::make_unique<Buffer>();
        buffer->width = uint32_t(width);
        buffer->height = uint32_t(height);
        buffer->depth = uint32_t(depth);
        buffer->search = Area{0, 0, uint32_t(width), uint32_t(height)};
        buffer->pixels = std::make_unique_for_overwrite<uint8_t[]>(buffer->size());
        out = std::move(buffer);
    } catch (const std::bad_alloc&) {
        return IM_ERR_NOMEM;
    }
    return IM_OK;
}

bool rectInside(uint32_t width, uint32_t height, int32_t x, int32_t y, int32_t w, int32_t h) {
    const uint64_t ux = uint32_t(x), uy = uint32_t(y), uw = uint32_t(w), uh = uint32_t(h);
    return uw >= 1 && uh >= 1 && ux <= width && ux + uw <= width && uy <= height &&
           uy + uh <= height;
}

ImBufHandle CImBuf::add(std::unique_ptr<Buffer> buffer) {
    // Handles count up, skipping 0, -1 and any that is still live after a wrap.
    uint32_t candidate = next_;
    while (candidate == 0 || candidate == 0xFFFFFFFFu ||
           buffers_.count(ImBufHandle(candidate)) != 0)
        ++candidate;
    const ImBufHandle handle = ImBufHandle(candidate);
    buffers_.emplace(handle, std::move(buffer));
    next_ = candidate + 1;
    return handle;
}

Buffer* CImBuf::find(ImBufHandle h) const {
    const auto it = buffers_.find(h);
    return it == buffers_.end() ? nullptr : it->second.get();
}

bool CImBuf::remove(ImBufHandle h) {
    return buffers_.erase(h) != 0;
}

ImPatResult* ResultArrays::allocate(int32_t count) {
    Entry entry{std::make_unique<ImPatResult[]>(std::size_t(count)), count};
    ImPatResult* array = entry.records.get();
    arrays_.emplace(array, std::move(entry));
    return array;
}

int32_t ResultArrays::capacity(const ImPatResult* array) const {
    if (array == nullptr) return 0;
    const auto it = arrays_.find(array);
    return it == arrays_.end() ? 0 : it->second.count;
}

void ResultArrays::release(const ImPatResult* array) {
    if (array != nullptr) arrays_.erase(array);
}

Library& library() {
    static Library lib;
    return lib;
}

} // namespace qxm::imlib
