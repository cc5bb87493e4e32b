#include "tracking/Params.h"

#include "imaging/include/qxmimlib.h"
#include "platform/profile/PrivateProfile.h"
#include "tracking/Codes.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <new>

namespace qxm::track {

bool parseInteger(const std::string& text, int32_t& out) {
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    long long v = std::strtoll(text.c_str(), &end, 10);
    if (end == text.c_str() || *end != '\0' || errno == ERANGE) return false;
    if (v < INT32_MIN || v > INT32_MAX) return false;
    out = static_cast<int32_t>(v);
    return true;
}

bool parseReal(const std::string& text, double& out) {
    if (text.empty()) return false;
    char* end = nullptr;
    double v = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || *end != '\0') return false;
    out = v;
    return true;
}

bool parseSwitch(const std::string& text, bool& out) {
    auto same = [&](const char* word) {
        std::size_t i = 0;
        for (; word[i]; ++i) {
            if (i >= text.size()) return false;
            char c = text[i];
            if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
            if (c != word[i]) return false;
        }
        return i == text.size();
    };
    if (same("ON")) {
        out = true;
        return true;
    }
    if (same("OFF")) {
        out = false;
        return true;
    }
    return false;
}

namespace {

class Reader {
public:
    explicit Reader(const profile::PrivateProfile& f) : file_(f) {}

    std::string text(const char* key, const char* def) const {
        return file_.getString(kSection, key, def, kValueBuffer);
    }
    // Each returns true when the key was good; on failure code_ holds the key's code.
    template <class Ok>
    bool integer(const char* key, const char* def, int32_t code, Ok ok, int32_t& dst) {
        int32_t v = 0;
        if (!parseInteger(text(key, def), v) || !ok(v)) return fail(code);
        dst = v;
        return true;
    }
    template <class Ok>
    bool real(const char* key, const char* def, int32_t code, Ok ok, double& dst) {
        double v = 0;
        if (!parseReal(text(key, def), v) || !ok(v)) return fail(code);
        dst = v;
        return true;
    }
    bool flag(const char* key, const char* def, int32_t code, bool& dst) {
        bool v = false;
        if (!parseSwitch(text(key, def), v)) return fail(code);
        dst = v;
        return true;
    }
    int32_t code() const { return code_; }

private:
    bool fail(int32_t c) {
        code_ = c;
        return false;
    }
    const profile::PrivateProfile& file_;
    int32_t code_ = 0;
};

// A NaN fails every range test below, as it compares false.
bool percent(double v) {
    return v >= 0.0 && v <= 100.0;
}
bool nonNegative(double v) {
    return v >= 0.0;
}
// The colour weights take any real, but a NaN or an infinity would leave the gray value
// undefined, so those are refused.
bool finiteReal(double v) {
    return std::isfinite(v);
}

int32_t readMatching(Reader& r, Params& p) {
    // Accuracy, SpeedFactor and CertaintyThreshold are read but not interpreted.
    (void)r.text("Accuracy", "M_LOW");
    (void)r.text("SpeedFactor", "M_HIGH");
    if (!r.integer(
            "SearchWidth", "40", kSearchWidth, [](int32_t v) { return v >= 0; }, p.searchWidth) ||
        !r.integer(
            "SearchHeight", "40", kSearchHeight, [](int32_t v) { return v >= 0; },
            p.searchHeight) ||
        !r.flag("SearchAll", "OFF", kSearchAll, p.searchAll) ||
        !r.real("AcceptanceThreshold", "10.0", kAcceptanceThreshold, percent,
                p.acceptanceThreshold))
        return r.code();
    (void)r.text("CertaintyThreshold", "100.0");
    if (!r.flag("UseSecondPixelFlag", "OFF", kUseSecondPixelFlag, p.useSecondPixel) ||
        !r.integer(
            "FirstLevel", "7", kFirstLevel, [](int32_t v) { return v >= 0 && v <= IM_LEVEL_MAX; },
            p.firstLevel) ||
        !r.integer(
            "LastLevel", "0", kLastLevel,
            [&](int32_t v) { return v >= 0 && v <= IM_LEVEL_MAX && v <= p.firstLevel; },
            p.lastLevel))
        return r.code();
    return 0;
}

int32_t readRgb(Reader& r, Params& p) {
    if (!r.real("Red", "0.299", kRed, finiteReal, p.red) ||
        !r.real("Green", "0.587", kGreen, finiteReal, p.green) ||
        !r.real("Blue", "0.114", kBlue, finiteReal, p.blue))
        return r.code();
    return 0;
}

int32_t readOther(Reader& r, Params& p) {
    if (!r.integer(
            "FrameStep", "5", kFrameStep, [](int32_t v) { return v >= 1; }, p.frameStep) ||
        !r.flag("DelMidleFlag", "ON", kDelMidleFlag, p.delMidle) ||
        !r.real("AcceptableDistance", "24.0", kAcceptableDistance, nonNegative,
                p.acceptableDistance) ||
        !r.real("ScoreTh", "20.0", kScoreTh, nonNegative, p.scoreTh) ||
        !r.real(
            "ModelRatio", "70.0", kModelRatio, [](double v) { return v > 0.0 && v <= 100.0; },
            p.modelRatio) ||
        !r.real("ResultGood", "70.0", kResultGood, percent, p.resultGood) ||
        !r.real(
            "ResultNoGood", "30.0", kResultNoGood,
            [&](double v) { return percent(v) && v <= p.resultGood; }, p.resultNoGood) ||
        !r.real("BackwardSearch", "50.0", kBackwardSearch, percent, p.backwardSearch) ||
        !r.flag("ShowTime", "OFF", kShowTime, p.showTime))
        return r.code();
    return 0;
}

// Runs one group; lack of memory while reading it gives the group's code.
template <class F> int32_t group(F f, Reader& r, Params& p, int32_t memoryCode) {
    try {
        return f(r, p);
    } catch (const std::bad_alloc&) {
        return memoryCode;
    }
}

} // namespace

int32_t readParams(const profile::PrivateProfile& file, Params& p) {
    Reader r(file);
    if (int32_t c = group(readMatching, r, p, kMatchingMemory)) return c;
    if (int32_t c = group(readRgb, r, p, kRgbMemory)) return c;
    return group(readOther, r, p, kOtherMemory);
}

int32_t readParamsFile(const char* path, Params& p) {
    try {
        std::string file = (path && *path) ? path : kDefaultFile;
        return readParams(profile::PrivateProfile::load(file), p);
    } catch (const std::bad_alloc&) {
        return kMatchingMemory;
    }
}

} // namespace qxm::track
