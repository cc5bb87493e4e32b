#pragma once
// The automation value: empty, boolean, 16- and 32-bit integers, double or string (bytes in
// the system code page). Conversions follow the automation rules:
//   - empty converts to false, 0, 0.0 and "";
//   - true converts to -1 and false to 0 (and back: any non-zero number is true);
//   - doubles convert to integers rounded half to even; out of range is DISP_E_OVERFLOW;
//   - strings convert to numbers after dropping surrounding blanks ("12", "-3", " 2.5 ");
//     anything else is DISP_E_TYPEMISMATCH; "True"/"False" (any case) convert to booleans;
//   - booleans convert to "True"/"False", numbers to their shortest decimal text.
#include "platform/component/HResult.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>

namespace qxm {

// Type tags with the numbers of the automation world. Void only describes "no value" in type
// descriptions (a method without result); a Variant never holds it.
enum class VarType : std::uint16_t {
    Empty = 0,
    I2 = 2,
    I4 = 3,
    R8 = 5,
    BStr = 8,
    Bool = 11,
    Void = 24
};

// "VT_I4" and the like.
const char* varTypeName(VarType vt);

class Variant {
public:
    Variant() = default;
    Variant(bool v) : value_(v) {}
    Variant(std::int16_t v) : value_(v) {}
    Variant(std::int32_t v) : value_(v) {}
    Variant(double v) : value_(v) {}
    Variant(std::string v) : value_(std::move(v)) {}
    Variant(std::string_view v) : value_(std::string(v)) {}
    Variant(const char* v) : value_(std::string(v)) {}
    template <class T> Variant(T*) = delete; // no pointers, which would turn into bool

    VarType type() const;
    bool isEmpty() const { return type() == VarType::Empty; }

    // Converts into out (which may be *this); on failure out is unchanged.
    HRESULT changeType(VarType to, Variant& out) const;

    // Typed reads with conversion; on failure they return the code and leave the target alone.
    HRESULT toBool(bool& out) const;
    HRESULT toI2(std::int16_t& out) const;
    HRESULT toI4(std::int32_t& out) const;
    HRESULT toR8(double& out) const;
    HRESULT toString(std::string& out) const;

    // Typed reads that throw ComError::code(failure code) when the conversion fails; what a
    // member handler uses on arguments the dispatcher has already converted.
    bool asBool() const;
    std::int16_t asI2() const;
    std::int32_t asI4() const;
    double asR8() const;
    std::string asString() const;

    friend bool operator==(const Variant&, const Variant&) = default;

private:
    std::optional<std::int32_t> integer() const; // empty, boolean or integer values
    std::variant<std::monostate, bool, std::int16_t, std::int32_t, double, std::string> value_;
};

using Args = std::span<const Variant>;

// Compares ASCII letters without case: how dispatch names and ProgIDs are matched.
bool equalsNoCase(std::string_view a, std::string_view b);

} // namespace qxm
