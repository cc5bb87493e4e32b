#pragma once
// Result codes of the component layer: 32-bit values with the severity bit (31), a facility
// (bits 16-26) and a code (bits 0-15), with the numeric values the automation world uses, so
// that codes written by a module, printed by a tool or compared in a test mean the same thing.
#include <cstdint>
#include <exception>
#include <new>
#include <string>

namespace qxm {

using HRESULT = std::int32_t;

constexpr HRESULT hresultFromBits(std::uint32_t bits) {
    return static_cast<HRESULT>(bits);
}
constexpr bool succeeded(HRESULT hr) {
    return hr >= 0;
}
constexpr bool failed(HRESULT hr) {
    return hr < 0;
}
constexpr std::uint16_t hresultFacility(HRESULT hr) {
    return std::uint16_t((std::uint32_t(hr) >> 16) & 0x1FFF);
}
constexpr std::uint16_t hresultCode(HRESULT hr) {
    return std::uint16_t(std::uint32_t(hr) & 0xFFFF);
}
constexpr HRESULT makeHResult(bool failure, std::uint16_t facility, std::uint16_t code) {
    return hresultFromBits((failure ? 0x80000000u : 0u) | (std::uint32_t(facility & 0x1FFF) << 16) |
                           code);
}

inline constexpr std::uint16_t FACILITY_NULL = 0;
inline constexpr std::uint16_t FACILITY_DISPATCH = 2;
inline constexpr std::uint16_t FACILITY_ITF = 4;
inline constexpr std::uint16_t FACILITY_WIN32 = 7;
inline constexpr std::uint16_t FACILITY_CONTROL = 10;

// A failure code of the control facility, e.g. controlError(380) == 0x800A017C.
constexpr HRESULT controlError(std::uint16_t code) {
    return makeHResult(true, FACILITY_CONTROL, code);
}

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;

inline constexpr HRESULT E_NOTIMPL = hresultFromBits(0x80004001);
inline constexpr HRESULT E_NOINTERFACE = hresultFromBits(0x80004002);
inline constexpr HRESULT E_POINTER = hresultFromBits(0x80004003);
inline constexpr HRESULT E_ABORT = hresultFromBits(0x80004004);
inline constexpr HRESULT E_FAIL = hresultFromBits(0x80004005);
inline constexpr HRESULT E_UNEXPECTED = hresultFromBits(0x8000FFFF);
inline constexpr HRESULT E_ACCESSDENIED = hresultFromBits(0x80070005);
inline constexpr HRESULT E_OUTOFMEMORY = hresultFromBits(0x8007000E);
inline constexpr HRESULT E_INVALIDARG = hresultFromBits(0x80070057);

inline constexpr HRESULT DISP_E_UNKNOWNINTERFACE = hresultFromBits(0x80020001);
inline constexpr HRESULT DISP_E_MEMBERNOTFOUND = hresultFromBits(0x80020003);
inline constexpr HRESULT DISP_E_PARAMNOTFOUND = hresultFromBits(0x80020004);
inline constexpr HRESULT DISP_E_TYPEMISMATCH = hresultFromBits(0x80020005);
inline constexpr HRESULT DISP_E_UNKNOWNNAME = hresultFromBits(0x80020006);
inline constexpr HRESULT DISP_E_NONAMEDARGS = hresultFromBits(0x80020007);
inline constexpr HRESULT DISP_E_BADVARTYPE = hresultFromBits(0x80020008);
inline constexpr HRESULT DISP_E_EXCEPTION = hresultFromBits(0x80020009);
inline constexpr HRESULT DISP_E_OVERFLOW = hresultFromBits(0x8002000A);
inline constexpr HRESULT DISP_E_BADINDEX = hresultFromBits(0x8002000B);
inline constexpr HRESULT DISP_E_BADPARAMCOUNT = hresultFromBits(0x8002000E);
inline constexpr HRESULT DISP_E_PARAMNOTOPTIONAL = hresultFromBits(0x8002000F);

inline constexpr HRESULT TYPE_E_REGISTRYACCESS = hresultFromBits(0x8002801C);
inline constexpr HRESULT TYPE_E_LIBNOTREGISTERED = hresultFromBits(0x8002801D);

inline constexpr HRESULT CLASS_E_NOAGGREGATION = hresultFromBits(0x80040110);
inline constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = hresultFromBits(0x80040111);
inline constexpr HRESULT REGDB_E_READREGDB = hresultFromBits(0x80040150);
inline constexpr HRESULT REGDB_E_WRITEREGDB = hresultFromBits(0x80040151);
inline constexpr HRESULT REGDB_E_KEYMISSING = hresultFromBits(0x80040152);
inline constexpr HRESULT REGDB_E_INVALIDVALUE = hresultFromBits(0x80040153);
inline constexpr HRESULT REGDB_E_CLASSNOTREG = hresultFromBits(0x80040154);
inline constexpr HRESULT REGDB_E_IIDNOTREG = hresultFromBits(0x80040155);
inline constexpr HRESULT CO_E_CLASSSTRING = hresultFromBits(0x800401F3);
inline constexpr HRESULT CO_E_DLLNOTFOUND = hresultFromBits(0x800401F8);
inline constexpr HRESULT CO_E_ERRORINDLL = hresultFromBits(0x800401F9);

// Interface-specific codes (FACILITY_ITF): the same numbers mean different things for
// different interfaces, as the self-registration and connection codes below show.
inline constexpr HRESULT SELFREG_E_TYPELIB = hresultFromBits(0x80040200);
inline constexpr HRESULT SELFREG_E_CLASS = hresultFromBits(0x80040201);
inline constexpr HRESULT CONNECT_E_NOCONNECTION = hresultFromBits(0x80040200);
inline constexpr HRESULT CONNECT_E_ADVISELIMIT = hresultFromBits(0x80040201);
inline constexpr HRESULT CONNECT_E_CANNOTCONNECT = hresultFromBits(0x80040202);

inline constexpr HRESULT CTL_E_INVALIDPROPERTYVALUE = controlError(380);
inline constexpr HRESULT CTL_E_INVALIDPROPERTYARRAYINDEX = controlError(381);
inline constexpr HRESULT CTL_E_SETNOTSUPPORTEDATRUNTIME = controlError(382);
inline constexpr HRESULT CTL_E_SETNOTSUPPORTED = controlError(383);
inline constexpr HRESULT CTL_E_GETNOTSUPPORTEDATRUNTIME = controlError(393);
inline constexpr HRESULT CTL_E_GETNOTSUPPORTED = controlError(394);

// "0x800A017C": eight upper-case hex digits, as the registration tool prints them.
std::string formatHResult(HRESULT hr);
// A short English text for the codes above ("Class not registered"); for unknown codes the
// formatted number.
std::string hresultMessage(HRESULT hr);
// The code and its text, never the number twice: "0x80040154 Class not registered",
// "0x800A07D2 Control error 2002", "0x80041234 Unknown error".
std::string describeHResult(HRESULT hr);

// The rich error of an automation call: what DISP_E_EXCEPTION carries back to the caller.
struct ExcepInfo {
    HRESULT scode = S_OK;
    std::string source{};
    std::string description{};
    std::string helpFile{};
    std::uint32_t helpContext = 0;
};

// The error object of the calling thread: a method that can only return a code (activation,
// for one) leaves the description here for its caller, as COM's error objects do. Taking it
// clears it; it is handed out only for the code it was left with.
void setErrorInfo(ExcepInfo info);
bool takeErrorInfo(HRESULT scode, ExcepInfo& info);

// Thrown by member handlers inside a module (never across a C boundary): the dispatcher
// catches it and turns it into the call's result. With info (the usual case) the call fails
// with DISP_E_EXCEPTION and the ExcepInfo filled from it; a plain code (ComError::code) is
// returned unchanged as the call's result.
class ComError : public std::exception {
public:
    ComError(HRESULT scode, std::string description, std::uint32_t helpContext = 0,
             std::string helpFile = {}, std::string source = {});
    static ComError code(HRESULT hr);
    ~ComError() override;

    const char* what() const noexcept override;
    HRESULT scode() const { return info_.scode; }
    bool hasInfo() const { return hasInfo_; }
    const ExcepInfo& info() const { return info_; }

private:
    ComError() = default;
    ExcepInfo info_;
    bool hasInfo_ = true;
    std::string what_;
};

// Runs body where no exception may pass (a C boundary, a callback from outside): its result,
// or noMemory when it ran out of memory, or otherwise for any other exception. Code is the
// boundary's own code type.
template <class Code, class Body>
Code callGuarded(Code otherwise, Code noMemory, Body&& body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return noMemory;
    } catch (...) {
        return otherwise;
    }
}

// The same for an HRESULT boundary: a ComError gives its own code, lack of memory
// E_OUTOFMEMORY unless the caller names another.
template <class Body>
HRESULT guardedHResult(HRESULT otherwise, Body&& body, HRESULT noMemory = E_OUTOFMEMORY) noexcept {
    return callGuarded(otherwise, noMemory, [&]() -> HRESULT {
        try {
            return body();
        } catch (const ComError& e) {
            return e.scode();
        }
    });
}

} // namespace qxm
