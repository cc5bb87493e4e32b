#pragma once
// The player control's persisted values in the two forms containers keep them:
//   - a property bag of named values (a page's parameters, a container's saved set);
//   - a binary stream, little-endian:
//         u32 version, i32 extentX, i32 extentY (HIMETRIC),
//         then the 22 properties in exchange order: a boolean as i32 (1 / 0; any non-zero value
//         reads as true), a long as i32, a string as a u32 byte count and its bytes.
// persistedProperties(), made from the persisted rows of the control's property table, names the
// properties, their types and where they live in QXMovieState; both forms walk it. Loading
// validates nothing: a value outside a property's usual range is kept as it is (the control checks
// values when they are set, not when loaded).
#include "platform/component/HResult.h"
#include "platform/component/Persist.h"
#include "platform/component/Variant.h"
#include "player_control/definitions/QXMovieState.h"

#include <cstdint>
#include <limits>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace qxm::qxmovie {

// Major version in the high word, minor in the low word.
inline constexpr std::uint32_t kPersistVersion = 0x00020000;

// ---- extent ----
// Containers keep the control's extent in HIMETRIC units (0.01 mm), at 96 pixels per inch.
// Conversions round half away from zero and saturate to the 32-bit range; every pixel size
// whose HIMETRIC value fits comes back exactly.
inline constexpr std::int32_t kHimetricPerInch = 2540;
inline constexpr std::int32_t kPixelsPerInch = 96;
inline constexpr std::int32_t kDefaultExtentPixelsX = kInitialWidth;
inline constexpr std::int32_t kDefaultExtentPixelsY = kInitialHeight;
// The largest extent a container may keep or ask for, per side: room for any movie the frame
// source plays at its original size with the control panel, while a window of that size still
// fits in memory (a persisted 600000 would ask for a window of 22677 pixels a side).
inline constexpr std::int32_t kMaxExtentPixels = 8192;

namespace detail {
constexpr std::int32_t scaleRounded(std::int64_t value, std::int64_t num, std::int64_t den) {
    const std::int64_t n = value * num; // |value| < 2^31 and num <= 2540: no overflow
    const std::int64_t q = (n < 0 ? -n + den / 2 : n + den / 2) / den;
    const std::int64_t r = n < 0 ? -q : q;
    if (r > std::numeric_limits<std::int32_t>::max())
        return std::numeric_limits<std::int32_t>::max();
    if (r < std::numeric_limits<std::int32_t>::min())
        return std::numeric_limits<std::int32_t>::min();
    return std::int32_t(r);
}
} // namespace detail

constexpr std::int32_t pixelsToHimetric(std::int32_t pixels) {
    return detail::scaleRounded(pixels, kHimetricPerInch, kPixelsPerInch);
}
constexpr std::int32_t himetricToPixels(std::int32_t himetric) {
    return detail::scaleRounded(himetric, kPixelsPerInch, kHimetricPerInch);
}
inline constexpr std::int32_t kMaxExtentHimetric = pixelsToHimetric(kMaxExtentPixels);

// ---- the persisted values ----
struct PersistedControl {
    // On load: the version the data was saved with. On save: written as it stands.
    std::uint32_t version = kPersistVersion;
    std::int32_t extentX = pixelsToHimetric(kDefaultExtentPixelsX); // HIMETRIC
    std::int32_t extentY = pixelsToHimetric(kDefaultExtentPixelsY);
    QXMovieState state;

    bool operator==(const PersistedControl&) const = default;
};

// Names of the header values in a bag (a stream holds them in this order before the
// properties).
inline constexpr std::string_view kVersionName = "_Version";
inline constexpr std::string_view kExtentXName = "_ExtentX";
inline constexpr std::string_view kExtentYName = "_ExtentY";

enum class PropertyKind { Bool, Long, String };

// One persisted property: its name (the QXMovieState member's), type and member.
struct PersistedProperty {
    using Member = std::variant<bool QXMovieState::*, std::int32_t QXMovieState::*,
                                std::string QXMovieState::*>;

    std::string_view name;
    Member member;

    PropertyKind kind() const { return PropertyKind(member.index()); }
    // VT_BOOL, VT_I4 or VT_BSTR.
    VarType varType() const;
    // The value in state as a variant of the property's type.
    Variant get(const QXMovieState& state) const;
    // Converts value to the property's type and stores it; on failure (DISP_E_TYPEMISMATCH,
    // DISP_E_OVERFLOW) state is unchanged.
    HRESULT set(QXMovieState& state, const Variant& value) const;
    // The value in state equals the one of a default-constructed QXMovieState.
    bool isDefault(const QXMovieState& state) const;
};

// The 22 properties in exchange order.
std::span<const PersistedProperty> persistedProperties();
// The property of that name (without case), or null.
const PersistedProperty* findPersistedProperty(std::string_view name);

// ---- bag form ----
// Starts from the defaults and reads _Version (optional; any value is accepted, a numeric one
// is kept in out.version), _ExtentX and _ExtentY (optional; the default extent when absent),
// then every property by name, converted to its type; a missing one keeps its default. A
// value that does not convert fails the load with the conversion's code (DISP_E_TYPEMISMATCH
// or DISP_E_OVERFLOW) and *message naming the property and the value; a bag that fails to read
// (other than E_INVALIDARG for "absent") fails with its code. out is untouched on failure.
HRESULT loadFromBag(IPropertyBag& bag, PersistedControl& out, std::string* message = nullptr);

// Writes _Version (VT_I4), _ExtentX, _ExtentY, then the properties in order as VT_BOOL, VT_I4
// or VT_BSTR. Without saveAll the properties equal to their defaults are left out. Stops at
// the first write that fails and returns its code.
HRESULT saveToBag(const PersistedControl& in, IPropertyBag& bag, bool saveAll);

// ---- stream form ----
// Replaces out's contents with the stream form of in. Strings longer than 4 GiB - 1 bytes
// cannot be held (std::length_error).
void saveToStream(const PersistedControl& in, std::vector<std::uint8_t>& out);

// Reads the stream form. Data of another version than kPersistVersion is read with the same
// layout; when it ends exactly after a value, the remaining properties take their defaults.
// Data of the current version must hold all 22 values. Data shorter than the header, ending
// inside a value, or with a string length reaching past its end fails with STG_E_READFAULT and
// *message naming the value ("the data ends inside SoundFile ..."); out is untouched then.
// Bytes after the last value are ignored.
HRESULT loadFromStream(std::span<const std::uint8_t> data, PersistedControl& out,
                       std::string* message = nullptr);

} // namespace qxm::qxmovie
