#pragma once
// Text rules of the anchor store: the code-page aware cut of IDs and names, the number
// conversion of the anchor object file, and the path it is read from.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qxm {

// The longest prefix of s of at most maxBytes bytes that does not split a character of the
// system's multibyte code page.
std::string cutAnchorText(std::string_view s, std::size_t maxBytes);

// The decimal conversion of the file's numbers: leading white space, an optional sign, then
// the digits up to the first other character; no digits give 0. Values beyond the 32-bit range
// saturate at its limits.
std::int32_t parseAnchorNumber(std::string_view s);

// The anchor object file of a (resolved) movie path: the last extension of the last path
// component removed and ".obj" appended. "/" separates components, so URLs work the same way.
std::string anchorFilePath(std::string_view moviePath);

} // namespace qxm
