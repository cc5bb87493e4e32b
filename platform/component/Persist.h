#pragma once
// Persistence of an object's properties, in the two forms containers use:
//   - a property bag: named values, as the parameters of a page or a container's saved set
//     give them (values arrive as text and are converted to each property's type);
//   - a binary stream: the bytes a container saves and hands back later.
// Objects offer IPersistPropertyBag and IPersistStreamInit; containers supply the bag.
#include "platform/component/Guid.h"
#include "platform/component/HResult.h"
#include "platform/component/Unknown.h"
#include "platform/component/Variant.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qxm {

inline constexpr Guid IID_IPropertyBag = Guid::literal("{55272A00-42CB-11CE-8135-00AA004BB851}");
inline constexpr Guid IID_IPersistPropertyBag =
    Guid::literal("{37D84F60-42CB-11CE-8135-00AA004BB851}");
inline constexpr Guid IID_IPersistStreamInit =
    Guid::literal("{7FD52380-4E07-101B-AE2D-08002B2EC713}");

// The file to load from does not exist.
inline constexpr HRESULT STG_E_FILENOTFOUND = hresultFromBits(0x80030002);
// Saving could not write (or replace) the file.
inline constexpr HRESULT STG_E_WRITEFAULT = hresultFromBits(0x8003001D);
// Loading found data it could not use.
inline constexpr HRESULT STG_E_READFAULT = hresultFromBits(0x8003001E);

// Named values. Names compare without regard to case.
class IPropertyBag : public IUnknown {
public:
    static constexpr Guid iid = IID_IPropertyBag;
    using Base = IUnknown;
    // E_INVALIDARG when the bag holds no value of that name (out unchanged).
    virtual HRESULT read(std::string_view name, Variant& out) = 0;
    // Adds the value or replaces the one of that name.
    virtual HRESULT write(std::string_view name, const Variant& value) = 0;
};

class IPersistPropertyBag : public IUnknown {
public:
    static constexpr Guid iid = IID_IPersistPropertyBag;
    using Base = IUnknown;
    virtual HRESULT getClassId(Guid& clsid) = 0;
    // Every property takes its default.
    virtual HRESULT initNew() = 0;
    // Properties missing from the bag take their defaults. A value that cannot be converted
    // to its property's type fails the load (DISP_E_TYPEMISMATCH or DISP_E_OVERFLOW) with
    // *message naming the property and the value; the object is then unchanged.
    virtual HRESULT load(IPropertyBag* bag, std::string* message = nullptr) = 0;
    // saveAll: also the values equal to their defaults (containers that write a page's
    // parameters may leave those out).
    virtual HRESULT save(IPropertyBag* bag, bool clearDirty, bool saveAll) = 0;
};

class IPersistStreamInit : public IUnknown {
public:
    static constexpr Guid iid = IID_IPersistStreamInit;
    using Base = IUnknown;
    virtual HRESULT getClassId(Guid& clsid) = 0;
    // S_OK when the object changed since it was last loaded or saved with clearDirty, else
    // S_FALSE.
    virtual HRESULT isDirty() = 0;
    virtual HRESULT initNew() = 0;
    // STG_E_READFAULT for data that ends inside a value or cannot be read (*message says
    // where); the object is then unchanged.
    virtual HRESULT load(std::span<const std::uint8_t> data, std::string* message = nullptr) = 0;
    virtual HRESULT save(std::vector<std::uint8_t>& out, bool clearDirty) = 0;
};

} // namespace qxm
