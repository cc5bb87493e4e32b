#pragma once
// 128-bit identifiers of classes, interfaces, type libraries and categories.
// Text form: {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX} (hex digits in either case; formatted in
// upper case). The layout is the plain C struct that crosses module boundaries.
#include <compare>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace qxm {

struct Guid {
    std::uint32_t data1 = 0;
    std::uint16_t data2 = 0;
    std::uint16_t data3 = 0;
    std::uint8_t data4[8] = {};

    friend constexpr bool operator==(const Guid&, const Guid&) = default;
    friend constexpr auto operator<=>(const Guid&, const Guid&) = default;

    constexpr bool isNull() const { return *this == Guid{}; }

    // Parses the braced form; the braces are required. Nothing else is accepted (no blanks).
    static constexpr std::optional<Guid> parse(std::string_view text);
    // A fixed identifier written in the source; a malformed literal does not compile when
    // used in a constant expression (and throws otherwise).
    static consteval Guid literal(const char* text);
    // A new random (version 4) identifier.
    static Guid create();

    std::string toString() const;
};

namespace detail {
constexpr int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}
constexpr bool readHex(std::string_view s, std::size_t pos, std::size_t digits,
                       std::uint64_t& out) {
    out = 0;
    for (std::size_t i = 0; i < digits; ++i) {
        int v = hexValue(s[pos + i]);
        if (v < 0) return false;
        out = out * 16 + std::uint64_t(v);
    }
    return true;
}
} // namespace detail

constexpr std::optional<Guid> Guid::parse(std::string_view s) {
    if (s.size() != 38 || s.front() != '{' || s.back() != '}' || s[9] != '-' || s[14] != '-' ||
        s[19] != '-' || s[24] != '-')
        return std::nullopt;
    Guid g;
    std::uint64_t v = 0;
    if (!detail::readHex(s, 1, 8, v)) return std::nullopt;
    g.data1 = std::uint32_t(v);
    if (!detail::readHex(s, 10, 4, v)) return std::nullopt;
    g.data2 = std::uint16_t(v);
    if (!detail::readHex(s, 15, 4, v)) return std::nullopt;
    g.data3 = std::uint16_t(v);
    const std::size_t bytePos[8] = {20, 22, 25, 27, 29, 31, 33, 35};
    for (int i = 0; i < 8; ++i) {
        if (!detail::readHex(s, bytePos[i], 2, v)) return std::nullopt;
        g.data4[i] = std::uint8_t(v);
    }
    return g;
}

consteval Guid Guid::literal(const char* text) {
    auto g = parse(std::string_view(text));
    if (!g) throw "malformed GUID literal";
    return *g;
}

// Well-known interface identifiers of the object model.
inline constexpr Guid IID_NULL{};
inline constexpr Guid IID_IUnknown = Guid::literal("{00000000-0000-0000-C000-000000000046}");
inline constexpr Guid IID_IClassFactory = Guid::literal("{00000001-0000-0000-C000-000000000046}");
inline constexpr Guid IID_IDispatch = Guid::literal("{00020400-0000-0000-C000-000000000046}");
inline constexpr Guid IID_IConnectionPointContainer =
    Guid::literal("{B196B284-BAB4-101A-B69C-00AA00341D07}");
inline constexpr Guid IID_IProvideClassInfo =
    Guid::literal("{B196B283-BAB4-101A-B69C-00AA00341D07}");

} // namespace qxm

template <> struct std::hash<qxm::Guid> {
    std::size_t operator()(const qxm::Guid& g) const noexcept {
        std::uint64_t h = (std::uint64_t(g.data1) << 32) ^ (std::uint64_t(g.data2) << 16) ^ g.data3;
        for (auto b : g.data4)
            h = h * 1099511628211ull ^ b;
        return std::size_t(h);
    }
};
