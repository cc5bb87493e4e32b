// The tracker's packed-bitmap parser on arbitrary bitmaps. The movie size it is asked for is the
// one the header announces when that is small, so the fuzzer reaches the pixel loops; the gray
// buffer is exactly width * height bytes, as the tracker gives it.
#include "fuzz/FuzzSupport.h"
#include "tracking/GrayFrame.h"

#include <cstring>
#include <memory>

using namespace qxm;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    static const track::GrayWeights weights(0.299, 0.587, 0.114);
    int32_t width = 16, height = 16;
    if (size >= 12) {
        const auto le32 = [&](std::size_t at) {
            return int32_t(uint32_t(data[at]) | uint32_t(data[at + 1]) << 8 |
                           uint32_t(data[at + 2]) << 16 | uint32_t(data[at + 3]) << 24);
        };
        if (le32(4) > 0 && le32(4) <= 256 && le32(8) > 0 && le32(8) <= 256) {
            width = le32(4);
            height = le32(8);
        }
    }
    // A copy of exactly size bytes, so a read past the end is caught.
    std::unique_ptr<uint8_t[]> dib(new uint8_t[size ? size : 1]);
    if (size) std::memcpy(dib.get(), data, size);
    std::unique_ptr<uint8_t[]> gray(new uint8_t[std::size_t(width) * std::size_t(height)]);
    track::readGrayDib(size ? dib.get() : nullptr, size, width, height, weights, gray.get());
    return 0;
}
