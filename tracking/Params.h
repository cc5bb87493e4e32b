#pragma once
// The tracking parameters and their reading from the parameter file.
#include <cstdint>
#include <string>

namespace qxm::profile {
class PrivateProfile;
}

namespace qxm::track {

struct Params {
    // matching
    int32_t searchWidth = 40;
    int32_t searchHeight = 40;
    bool searchAll = false;
    double acceptanceThreshold = 10.0;
    bool useSecondPixel = false;
    int32_t firstLevel = 7;
    int32_t lastLevel = 0;
    // RGB weights of the gray value
    double red = 0.299;
    double green = 0.587;
    double blue = 0.114;
    // other
    int32_t frameStep = 5; // 0 while no movie is open
    bool delMidle = true;
    double acceptableDistance = 24.0;
    double scoreTh = 20.0;
    double modelRatio = 70.0;
    double resultGood = 70.0;
    double resultNoGood = 30.0;
    double backwardSearch = 50.0;
    bool showTime = false;

    // The parameters of a closed context: defaults, but no frame step.
    static Params closed() {
        Params p;
        p.frameStep = 0;
        return p;
    }
};

inline constexpr const char* kSection = "qxmtrack";
inline constexpr const char* kDefaultFile = "qxmtrack.ini";
inline constexpr std::size_t kValueBuffer = 64; // values are read as at most 63 characters

// Value parsers: the whole text must be consumed. Integers must fit 32 bits.
bool parseInteger(const std::string& text, int32_t& out);
bool parseReal(const std::string& text, double& out);
bool parseSwitch(const std::string& text, bool& out);

// Reads the three groups in order into p, each key stored as soon as it is checked. Returns 0
// or the code of the first bad key; keys after it keep the values p had.
int32_t readParams(const profile::PrivateProfile& file, Params& p);

// Loads the file (null or empty path: the default file in the configuration folder) and reads it.
int32_t readParamsFile(const char* path, Params& p);

} // namespace qxm::track
