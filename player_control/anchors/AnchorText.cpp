#include "player_control/anchors/AnchorText.h"

#include <cctype>
#include <limits>

#include "platform/codepage/CodePage.h"

namespace qxm {

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

} // namespace qxm
