#pragma once
// Result codes and message texts of the tracking library.
#include <cstdint>
#include <string>

namespace qxm::track {

enum Code : int32_t {
    kOk = 0,
    kRatedPartly = 1,
    kRatedMissed = 2,
    kStepNoMatch = -1,  // a matching step found nothing (internal)
    kStepClipped = -2,  // a match was clipped at the frame border (internal)
    kImageLibrary = -3, // a call of the image library failed
    kOpenFailed = -101,
    kInfoFailed = -102,
    kNoVideoStream = -103,
    kNoDecoder = -104,
    kImageBuffer = -112,
    kGrayBuffer = -121,
    kMatchingMemory = -130,
    kSearchWidth = -133,
    kSearchHeight = -134,
    kSearchAll = -135,
    kAcceptanceThreshold = -136,
    kUseSecondPixelFlag = -138,
    kFirstLevel = -139,
    kLastLevel = -140,
    kRgbMemory = -150,
    kRed = -151,
    kGreen = -152,
    kBlue = -153,
    kOtherMemory = -160,
    kFrameStep = -161,
    kDelMidleFlag = -162,
    kAcceptableDistance = -163,
    kScoreTh = -164,
    kModelRatio = -165,
    kResultGood = -166,
    kResultNoGood = -167,
    kBackwardSearch = -168,
    kShowTime = -169,
    kEndBeforeStart = -301,
    kNegativeStart = -302,
    kNoFrameStep = -303,
    kNoResultMemory = -311,
    kNoThinningMemory = -351,
    kFrameFetch = -601,
    kFrameSize = -602,
    kFrameFormat = -603,
    kFrameStore = -611,
    kInitialization = -90001,
};

inline constexpr const char* kTitle = "qxmtrack";
inline constexpr const char* kCompleteTime = "Complete Automatic Setting; Time(ms)=%lu";
inline constexpr const char* kErrorTime = "Error in Automatic Setting; Time(ms)=%lu";

// The message of a result code; known is set to whether the code belongs to a known group.
std::string errorString(int32_t code, bool* known = nullptr);

// The elapsed-time message shown when ShowTime is ON.
std::string timeMessage(bool success, unsigned long ms);

} // namespace qxm::track
