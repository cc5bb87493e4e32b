#pragma once
// Cutting blanks off the ends of text. Each reader names the blanks its format allows: most
// take spaces and tabs; line-based files also drop a carriage return before the line's end.
#include <string_view>

namespace qxm {

inline constexpr std::string_view kSpaceTab = " \t";

inline std::string_view trimLeft(std::string_view s, std::string_view blanks = kSpaceTab) {
    const std::size_t first = s.find_first_not_of(blanks);
    return first == std::string_view::npos ? std::string_view() : s.substr(first);
}

inline std::string_view trimRight(std::string_view s, std::string_view blanks = kSpaceTab) {
    const std::size_t last = s.find_last_not_of(blanks);
    return last == std::string_view::npos ? std::string_view() : s.substr(0, last + 1);
}

inline std::string_view trim(std::string_view s, std::string_view blanks = kSpaceTab) {
    return trimRight(trimLeft(s, blanks), blanks);
}

} // namespace qxm
