#pragma once
// FNV-1a, 64-bit: frame hashes of the frame tool and cache keys of the frame source.
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace qxm::video {

constexpr uint64_t kFnvOffset = 0xcbf29ce484222325ull;

inline uint64_t fnv1a64(const void* data, size_t size, uint64_t hash = kFnvOffset) {
    const auto* p = static_cast<const uint8_t*>(data);
    for (size_t i = 0; i < size; ++i) {
        hash ^= p[i];
        hash *= 0x100000001b3ull;
    }
    return hash;
}

inline uint64_t fnv1a64(std::string_view text, uint64_t hash = kFnvOffset) {
    return fnv1a64(text.data(), text.size(), hash);
}

} // namespace qxm::video
