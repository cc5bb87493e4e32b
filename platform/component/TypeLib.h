#pragma once
// The type library description: what a module says about its classes and their interfaces,
// readable by any program (through an object's getTypeInfo / ITypeInfoProvider, or as the
// module builds it) and printable as an IDL-like listing with TypeLibrary::format().
#include "platform/component/Guid.h"
#include "platform/component/HResult.h"
#include "platform/component/Variant.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qxm {

using DispId = std::int32_t;

inline constexpr DispId DISPID_UNKNOWN = -1;
inline constexpr DispId DISPID_VALUE = 0;
inline constexpr DispId DISPID_PROPERTYPUT = -3;
inline constexpr DispId DISPID_ABOUTBOX = -552;
inline constexpr DispId DISPID_CLICK = -600;
inline constexpr DispId DISPID_DBLCLICK = -601;
inline constexpr DispId DISPID_MOUSEDOWN = -605;
inline constexpr DispId DISPID_MOUSEMOVE = -606;
inline constexpr DispId DISPID_MOUSEUP = -607;

// A type in a description: a built-in type, optionally under a name of its own (an alias such
// as OLE_XPOS_PIXELS, or an enumeration of the library), e.g. {VarType::I4, "OLE_XPOS_PIXELS"}.
struct TypeRef {
    VarType vt = VarType::Void;
    std::string name{};
    TypeRef() = default;
    TypeRef(VarType t, std::string n = {}) : vt(t), name(std::move(n)) {}
    // The name a listing shows: the own name, else "boolean", "short", "long", "double",
    // "BSTR", "VARIANT" (for Empty) or "void".
    std::string idlName() const;
    friend bool operator==(const TypeRef&, const TypeRef&) = default;
};

// Member attributes.
enum MemberFlag : std::uint32_t {
    MEMBER_HIDDEN = 1u << 0,
    MEMBER_READONLY = 1u << 1,
    MEMBER_BINDABLE = 1u << 2,
    MEMBER_REQUESTEDIT = 1u << 3,
    MEMBER_DISPLAYBIND = 1u << 4,
    MEMBER_DEFAULTBIND = 1u << 5,
    MEMBER_RESTRICTED = 1u << 6,
};

// Type (interface, coclass) and library attributes.
enum TypeFlag : std::uint32_t {
    TYPE_HIDDEN = 1u << 0,
    TYPE_DISPATCHABLE = 1u << 1,
    TYPE_CONTROL = 1u << 2,
    TYPE_CREATABLE = 1u << 3,
    TYPE_LICENSED = 1u << 4,
    TYPE_APPOBJECT = 1u << 5,
};

struct ParamInfo {
    std::string name{};
    TypeRef type{};
    bool optional = false;
    Variant defaultValue{}; // given to the member when an optional argument is left out
};

enum class MemberKind {
    Property, // get (with its parameters, if any: an indexed property) and, unless read-only, put
    Method,
};

struct MemberInfo {
    DispId id = DISPID_UNKNOWN;
    std::string name{};
    MemberKind kind = MemberKind::Method;
    TypeRef type{}; // property type or method result (Void: none)
    std::vector<ParamInfo> params{};
    std::uint32_t flags = 0;
    std::string helpString{};
    std::uint32_t helpContext = 0;
    bool has(MemberFlag f) const { return (flags & f) != 0; }
};

enum class InterfaceKind { DispInterface, Interface };

struct InterfaceInfo {
    std::string name{};
    Guid iid{};
    InterfaceKind kind = InterfaceKind::DispInterface;
    std::uint32_t flags = 0;
    std::string helpString{};
    std::vector<MemberInfo> members{};

    const MemberInfo* find(DispId id) const;
    // Names compare without regard to ASCII case.
    const MemberInfo* find(std::string_view name) const;
};

struct EnumValue {
    std::string name{};
    std::int32_t value = 0;
    std::string helpString{};
};

struct EnumInfo {
    std::string name{};
    std::string helpString{};
    std::vector<EnumValue> values{};
    const EnumValue* find(std::int32_t value) const;
};

struct AliasInfo {
    std::string name{}; // e.g. "OLE_XPOS_PIXELS"
    TypeRef target{};   // e.g. {VarType::I4}
    std::string helpString{};
};

struct CoClassInfo {
    struct Ref {
        std::string interfaceName;
        bool isDefault = false;
        bool isSource = false;
    };
    std::string name{};
    Guid clsid{};
    std::uint32_t flags = 0;
    std::string helpString{};
    std::vector<Ref> interfaces{};
};

struct TypeLibrary {
    std::string name{};
    Guid libid{};
    std::uint16_t majorVersion = 1;
    std::uint16_t minorVersion = 0;
    std::uint32_t lcid = 0;
    std::uint32_t flags = 0; // TYPE_CONTROL marks a control library
    std::string helpString{};
    std::string helpFile{};
    std::vector<std::string> imports{}; // e.g. "stdole32.tlb"
    std::vector<AliasInfo> aliases{};
    std::vector<EnumInfo> enums{};
    std::vector<InterfaceInfo> interfaces{};
    std::vector<CoClassInfo> coclasses{};

    const InterfaceInfo* findInterface(std::string_view name) const;
    const InterfaceInfo* findInterface(const Guid& iid) const;
    const CoClassInfo* findCoClass(std::string_view name) const;
    const CoClassInfo* findCoClass(const Guid& clsid) const;
    const EnumInfo* findEnum(std::string_view name) const;
    // The coclass's [default] interface, or its [default, source] one.
    const InterfaceInfo* defaultInterface(const CoClassInfo& c, bool source = false) const;

    // "2.0"
    std::string versionText() const;
    // Checks what a reader relies on: every member id and name unique within its interface,
    // every type name used resolves to an alias or enumeration of the library, every coclass
    // reference names an interface of the library, at most one default and one default source
    // per coclass. Returns S_OK, or E_INVALIDARG with the first problem in *problem.
    HRESULT validate(std::string* problem = nullptr) const;
    // An IDL-like listing of the whole library.
    std::string format() const;
};

} // namespace qxm
