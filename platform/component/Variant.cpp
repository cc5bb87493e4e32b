#include "platform/component/Variant.h"
#include "platform/text/Trim.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace qxm {
namespace {

// Decimal text to double: optional sign, digits with an optional fraction and exponent.
HRESULT parseNumber(std::string_view text, double& out) {
    std::string_view s = trim(text);
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    if (s.empty() || s.front() == '+') return DISP_E_TYPEMISMATCH;
    double v = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v, std::chars_format::general);
    if (end != s.data() + s.size()) return DISP_E_TYPEMISMATCH;
    if (ec == std::errc::result_out_of_range) return DISP_E_OVERFLOW;
    if (ec != std::errc() || !std::isfinite(v)) return DISP_E_TYPEMISMATCH;
    out = v;
    return S_OK;
}

template <class Int> HRESULT doubleToInt(double d, Int& out) {
    if (!std::isfinite(d)) return DISP_E_OVERFLOW;
    double r = std::nearbyint(d); // the default rounding mode: half to even
    if (r < double(std::numeric_limits<Int>::min()) || r > double(std::numeric_limits<Int>::max()))
        return DISP_E_OVERFLOW;
    out = Int(r);
    return S_OK;
}

std::string numberText(double d) {
    char buf[64];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, d);
    return ec == std::errc() ? std::string(buf, end) : std::string("0");
}

} // namespace

bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        unsigned char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = x - 'A' + 'a';
        if (y >= 'A' && y <= 'Z') y = y - 'A' + 'a';
        if (x != y) return false;
    }
    return true;
}

const char* varTypeName(VarType vt) {
    switch (vt) {
    case VarType::Empty:
        return "VT_EMPTY";
    case VarType::I2:
        return "VT_I2";
    case VarType::I4:
        return "VT_I4";
    case VarType::R8:
        return "VT_R8";
    case VarType::BStr:
        return "VT_BSTR";
    case VarType::Bool:
        return "VT_BOOL";
    case VarType::Void:
        return "VT_VOID";
    }
    return "VT_?";
}

VarType Variant::type() const {
    static constexpr VarType types[] = {VarType::Empty, VarType::Bool, VarType::I2,
                                        VarType::I4,    VarType::R8,   VarType::BStr};
    return types[value_.index()];
}

HRESULT Variant::changeType(VarType to, Variant& out) const {
    switch (to) {
    case VarType::Empty:
        out = Variant();
        return S_OK;
    case VarType::Bool: {
        bool b = false;
        HRESULT hr = toBool(b);
        if (succeeded(hr)) out = Variant(b);
        return hr;
    }
    case VarType::I2: {
        std::int16_t v = 0;
        HRESULT hr = toI2(v);
        if (succeeded(hr)) out = Variant(v);
        return hr;
    }
    case VarType::I4: {
        std::int32_t v = 0;
        HRESULT hr = toI4(v);
        if (succeeded(hr)) out = Variant(v);
        return hr;
    }
    case VarType::R8: {
        double v = 0;
        HRESULT hr = toR8(v);
        if (succeeded(hr)) out = Variant(v);
        return hr;
    }
    case VarType::BStr: {
        std::string v;
        HRESULT hr = toString(v);
        if (succeeded(hr)) out = Variant(std::move(v));
        return hr;
    }
    case VarType::Void:
        break;
    }
    return DISP_E_BADVARTYPE;
}

HRESULT Variant::toBool(bool& out) const {
    switch (value_.index()) {
    case 0:
        out = false;
        return S_OK;
    case 1:
        out = std::get<bool>(value_);
        return S_OK;
    case 2:
        out = std::get<std::int16_t>(value_) != 0;
        return S_OK;
    case 3:
        out = std::get<std::int32_t>(value_) != 0;
        return S_OK;
    case 4:
        out = std::get<double>(value_) != 0.0;
        return S_OK;
    default: {
        std::string_view s = trim(std::get<std::string>(value_));
        if (equalsNoCase(s, "true")) {
            out = true;
            return S_OK;
        }
        if (equalsNoCase(s, "false")) {
            out = false;
            return S_OK;
        }
        double d = 0;
        HRESULT hr = parseNumber(s, d);
        if (failed(hr)) return DISP_E_TYPEMISMATCH;
        out = d != 0.0;
        return S_OK;
    }
    }
}

std::optional<std::int32_t> Variant::integer() const {
    switch (value_.index()) {
    case 0:
        return 0;
    case 1:
        return std::get<bool>(value_) ? -1 : 0;
    case 2:
        return std::get<std::int16_t>(value_);
    case 3:
        return std::get<std::int32_t>(value_);
    default:
        return std::nullopt;
    }
}

HRESULT Variant::toR8(double& out) const {
    if (auto i = integer()) {
        out = *i;
        return S_OK;
    }
    if (value_.index() == 4) {
        out = std::get<double>(value_);
        return S_OK;
    }
    return parseNumber(std::get<std::string>(value_), out);
}

HRESULT Variant::toI4(std::int32_t& out) const {
    if (auto i = integer()) {
        out = *i;
        return S_OK;
    }
    double d = 0;
    HRESULT hr = toR8(d);
    return failed(hr) ? hr : doubleToInt(d, out);
}

HRESULT Variant::toI2(std::int16_t& out) const {
    if (auto i = integer()) {
        if (*i < -32768 || *i > 32767) return DISP_E_OVERFLOW;
        out = std::int16_t(*i);
        return S_OK;
    }
    double d = 0;
    HRESULT hr = toR8(d);
    return failed(hr) ? hr : doubleToInt(d, out);
}

HRESULT Variant::toString(std::string& out) const {
    switch (value_.index()) {
    case 0:
        out.clear();
        return S_OK;
    case 1:
        out = std::get<bool>(value_) ? "True" : "False";
        return S_OK;
    case 2:
        out = std::to_string(std::get<std::int16_t>(value_));
        return S_OK;
    case 3:
        out = std::to_string(std::get<std::int32_t>(value_));
        return S_OK;
    case 4:
        out = numberText(std::get<double>(value_));
        return S_OK;
    default:
        out = std::get<std::string>(value_);
        return S_OK;
    }
}

namespace {
template <class T, class F> T readOrThrow(F read) {
    T v{};
    HRESULT hr = read(v);
    if (failed(hr)) throw ComError::code(hr);
    return v;
}
} // namespace

bool Variant::asBool() const {
    return readOrThrow<bool>([this](bool& v) { return toBool(v); });
}
std::int16_t Variant::asI2() const {
    return readOrThrow<std::int16_t>([this](std::int16_t& v) { return toI2(v); });
}
std::int32_t Variant::asI4() const {
    return readOrThrow<std::int32_t>([this](std::int32_t& v) { return toI4(v); });
}
double Variant::asR8() const {
    return readOrThrow<double>([this](double& v) { return toR8(v); });
}
std::string Variant::asString() const {
    return readOrThrow<std::string>([this](std::string& v) { return toString(v); });
}

} // namespace qxm
