#include "platform/component/HResult.h"

#include <cstdio>

namespace qxm {

std::string formatHResult(HRESULT hr) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08X", static_cast<unsigned>(hr));
    return buf;
}

std::string hresultMessage(HRESULT hr) {
    switch (hr) {
    case S_OK:
        return "Success";
    case S_FALSE:
        return "Success (false)";
    case E_NOTIMPL:
        return "Not implemented";
    case E_NOINTERFACE:
        return "No such interface supported";
    case E_POINTER:
        return "Invalid pointer";
    case E_ABORT:
        return "Operation aborted";
    case E_FAIL:
        return "Unspecified error";
    case E_UNEXPECTED:
        return "Catastrophic failure";
    case E_ACCESSDENIED:
        return "Access denied";
    case E_OUTOFMEMORY:
        return "Out of memory";
    case E_INVALIDARG:
        return "Invalid argument";
    case DISP_E_UNKNOWNINTERFACE:
        return "Unknown interface";
    case DISP_E_MEMBERNOTFOUND:
        return "Member not found";
    case DISP_E_PARAMNOTFOUND:
        return "Parameter not found";
    case DISP_E_TYPEMISMATCH:
        return "Type mismatch";
    case DISP_E_UNKNOWNNAME:
        return "Unknown name";
    case DISP_E_NONAMEDARGS:
        return "No named arguments";
    case DISP_E_BADVARTYPE:
        return "Bad variable type";
    case DISP_E_EXCEPTION:
        return "Exception occurred";
    case DISP_E_OVERFLOW:
        return "Out of present range";
    case DISP_E_BADINDEX:
        return "Invalid index";
    case DISP_E_BADPARAMCOUNT:
        return "Invalid number of parameters";
    case DISP_E_PARAMNOTOPTIONAL:
        return "Parameter not optional";
    case TYPE_E_REGISTRYACCESS:
        return "Error accessing the registry for type libraries";
    case TYPE_E_LIBNOTREGISTERED:
        return "Library not registered";
    case CLASS_E_NOAGGREGATION:
        return "Class does not support aggregation";
    case CLASS_E_CLASSNOTAVAILABLE:
        return "Class factory cannot supply the requested class";
    case REGDB_E_READREGDB:
        return "Could not read the registry";
    case REGDB_E_WRITEREGDB:
        return "Could not write the registry";
    case REGDB_E_KEYMISSING:
        return "Registry key missing";
    case REGDB_E_INVALIDVALUE:
        return "Invalid registry value";
    case REGDB_E_CLASSNOTREG:
        return "Class not registered";
    case REGDB_E_IIDNOTREG:
        return "Interface not registered";
    case CO_E_CLASSSTRING:
        return "Invalid class string";
    case CO_E_DLLNOTFOUND:
        return "Module of the class not found";
    case CO_E_ERRORINDLL:
        return "Error in the module of the class";
    case SELFREG_E_TYPELIB:
        return "Type library registration failed";
    case SELFREG_E_CLASS:
        return "Class registration failed";
    case CONNECT_E_CANNOTCONNECT:
        return "Cannot connect";
    case CTL_E_INVALIDPROPERTYVALUE:
        return "Invalid property value";
    case CTL_E_INVALIDPROPERTYARRAYINDEX:
        return "Invalid property array index";
    case CTL_E_SETNOTSUPPORTEDATRUNTIME:
        return "Property cannot be set at run time";
    case CTL_E_SETNOTSUPPORTED:
        return "Property is read-only";
    case CTL_E_GETNOTSUPPORTEDATRUNTIME:
        return "Property cannot be read at run time";
    case CTL_E_GETNOTSUPPORTED:
        return "Property is write-only";
    default:
        return formatHResult(hr);
    }
}

std::string describeHResult(HRESULT hr) {
    const std::string code = formatHResult(hr);
    std::string text = hresultMessage(hr);
    if (text == code) {
        const bool control =
            (std::uint32_t(hr) & 0xFFFF0000u) == (std::uint32_t(controlError(0)) & 0xFFFF0000u);
        text = control ? "Control error " + std::to_string(std::uint32_t(hr) & 0xFFFFu)
                       : "Unknown error";
    }
    return code + " " + text;
}

namespace {
thread_local ExcepInfo tErrorInfo;
thread_local bool tHasErrorInfo = false;
} // namespace

void setErrorInfo(ExcepInfo info) {
    tErrorInfo = std::move(info);
    tHasErrorInfo = true;
}

bool takeErrorInfo(HRESULT scode, ExcepInfo& info) {
    if (!tHasErrorInfo || tErrorInfo.scode != scode) return false;
    tHasErrorInfo = false;
    info = std::move(tErrorInfo);
    return true;
}

ComError::ComError(HRESULT scode, std::string description, std::uint32_t helpContext,
                   std::string helpFile, std::string source)
    : info_{scode, std::move(source), std::move(description), std::move(helpFile), helpContext},
      what_(formatHResult(scode) + " " + info_.description) {}

ComError ComError::code(HRESULT hr) {
    ComError e;
    e.info_.scode = hr;
    e.hasInfo_ = false;
    e.what_ = formatHResult(hr);
    return e;
}

ComError::~ComError() = default;

const char* ComError::what() const noexcept {
    return what_.c_str();
}

} // namespace qxm
