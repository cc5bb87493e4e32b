#pragma once
// file: URLs, as a page's location and the paths resolved against it give them: what the
// control reads anchor files from and the movie engine opens movies from.
#include <optional>
#include <string>
#include <string_view>

namespace qxm {

// True when s names the file: scheme (any case).
bool isFileUrl(std::string_view s);

// The local path a file: URL names ("file:///p", "file://localhost/p", "file:/p"), with its
// percent escapes decoded and any query or fragment dropped. None for another host or an
// escape that decodes to a zero byte.
std::optional<std::string> fileUrlToPath(std::string_view url);

} // namespace qxm
