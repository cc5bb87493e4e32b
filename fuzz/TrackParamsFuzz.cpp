// The tracking parameter file: profile parsing, the three groups of keys, and the gray weights
// built from whatever Red, Green and Blue a file that reads cleanly holds.
#include "fuzz/FuzzSupport.h"
#include "platform/profile/PrivateProfile.h"
#include "tracking/GrayFrame.h"
#include "tracking/Params.h"

using namespace qxm;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const profile::PrivateProfile file =
        profile::PrivateProfile::parse(std::string(fuzz::asText(data, size)));
    track::Params p;
    if (track::readParams(file, p) != 0) return 0;
    QXM_FUZZ_CHECK(p.firstLevel >= 0 && p.firstLevel <= 7 && p.frameStep >= 1);
    const track::GrayWeights weights(p.red, p.green, p.blue);
    for (const int v : {0, 1, 127, 128, 255})
        QXM_FUZZ_CHECK(weights.gray(uint8_t(v), uint8_t(255 - v), uint8_t(v)) ==
                       track::GrayWeights::direct(p.red, p.green, p.blue, uint8_t(v),
                                                  uint8_t(255 - v), uint8_t(v)));
    return 0;
}
