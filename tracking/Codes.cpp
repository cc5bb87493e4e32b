#include "tracking/Codes.h"

#include <cstdio>

namespace qxm::track {
namespace {

const char* messageFor(int32_t c) {
    if (c >= 0 && c <= 2) return "QXMTRACK.DLL completed.";
    if (c >= -3 && c <= -1) return "QXMTRACK.DLL Anchor Position Data Error RC=%ld";
    if ((c >= -104 && c <= -101) || c == -111 || c == -112 || c == -121)
        return "QXMTRACK.DLL Initialize Error RC=%ld";
    if (c >= -140 && c <= -130)
        return "QXMTRACK.DLL INI File (Matching Parameter) Read Error RC=%ld";
    if (c >= -153 && c <= -150) return "QXMTRACK.DLL INI File (RGB Coefficient) Read Error RC=%ld";
    if (c >= -169 && c <= -160) return "QXMTRACK.DLL INI File (Other Parameters) Read Error RC=%ld";
    if ((c >= -303 && c <= -301) || c == -311 || c == -351)
        return "QXMTRACK.DLL Automatic Setting Error RC=%ld";
    if ((c >= -603 && c <= -601) || c == -611) return "QXMTRACK.DLL Image Data Load Error RC=%ld";
    if (c == -90001) return "QXMTRACK.DLL Initialization Error RC=%ld";
    return nullptr;
}

} // namespace

std::string errorString(int32_t code, bool* known) {
    const char* fmt = messageFor(code);
    if (known) *known = fmt != nullptr;
    if (!fmt) fmt = "QXMTRACK.DLL RC=%ld";
    char buf[128];
    std::snprintf(buf, sizeof buf, fmt, static_cast<long>(code));
    return buf;
}

std::string timeMessage(bool success, unsigned long ms) {
    char buf[128];
    std::snprintf(buf, sizeof buf, success ? kCompleteTime : kErrorTime, ms);
    return buf;
}

} // namespace qxm::track
