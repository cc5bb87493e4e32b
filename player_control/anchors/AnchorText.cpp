#include "player_control/anchors/AnchorText.h"

#include <cctype>
#include <limits>

#include "platform/codepage/CodePage.h"

namespace qxm {

namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool startsWithNoCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() &&
           codepage::equalsIgnoreAsciiCase(s.substr(0, prefix.size()), prefix);
}

} // namespace

std::string cutAnchorText(std::string_view s, std::size_t maxBytes) {
    return std::string(codepage::cut(s, maxBytes));
}

std::int32_t parseAnchorNumber(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i])))
        ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        negative = s[i] == '-';
        ++i;
    }
    constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
    constexpr std::int64_t kMin = std::numeric_limits<std::int32_t>::min();
    std::int64_t value = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
        if (value <= kMax + 1) value = value * 10 + (s[i] - '0');
    }
    if (negative)
        return value > -kMin ? static_cast<std::int32_t>(kMin) : static_cast<std::int32_t>(-value);
    return value > kMax ? static_cast<std::int32_t>(kMax) : static_cast<std::int32_t>(value);
}

// The scan steps over multibyte characters as units.
std::string anchorFilePath(std::string_view moviePath) {
    std::size_t cut = std::string_view::npos;
    for (std::size_t i = 0; i < moviePath.size(); i = codepage::next(moviePath, i)) {
        if (moviePath[i] == '/')
            cut = std::string_view::npos;
        else if (moviePath[i] == '.')
            cut = i;
    }
    std::string path(moviePath.substr(0, cut));
    path += ".obj";
    return path;
}

bool isFileUrl(std::string_view s) {
    return startsWithNoCase(s, "file:");
}

std::optional<std::string> fileUrlToPath(std::string_view url) {
    if (!isFileUrl(url)) return std::nullopt;
    std::string_view rest = url.substr(5);
    if (rest.starts_with("//")) {
        rest.remove_prefix(2);
        const std::size_t slash = rest.find('/');
        const std::string_view host = rest.substr(0, slash);
        const bool local =
            host.empty() || (host.size() == 9 && startsWithNoCase(host, "localhost"));
        if (!local) return std::nullopt;
        rest = slash == std::string_view::npos ? std::string_view{} : rest.substr(slash);
    }
    rest = rest.substr(0, rest.find_first_of("?#"));
    std::string path;
    path.reserve(rest.size());
    for (std::size_t i = 0; i < rest.size(); ++i) {
        if (rest[i] == '%' && i + 2 < rest.size() && hexValue(rest[i + 1]) >= 0 &&
            hexValue(rest[i + 2]) >= 0) {
            const char c = static_cast<char>(hexValue(rest[i + 1]) * 16 + hexValue(rest[i + 2]));
            if (c == '\0') return std::nullopt;
            path += c;
            i += 2;
        } else {
            path += rest[i];
        }
    }
    if (path.empty()) return std::nullopt;
    return path;
}

} // namespace qxm
