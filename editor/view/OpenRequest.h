#pragma once
// The text another program sends over the link to have the editor open a file:
//   "path",anchorID,0
// Only the path and the ID are used.
#include <string>
#include <string_view>

namespace qxm::editor {

inline constexpr std::size_t kOpenRequestBytes = 128; // what the server reads of a request
inline constexpr std::size_t kOpenPathBytes = 260;

struct OpenRequest {
    bool empty = true; // nothing to open
    std::string path;
    std::string anchorId; // at most 10 bytes
    bool anchorIdSet = false;
};

// The path starts after the first double quote and ends two characters before the first comma
// after the closing quote (for "path", exactly the text between the quotes); a second comma
// ends the ID. Without quote, quote and comma in that order, the whole text is the path.
OpenRequest ParseOpenRequest(std::string_view data);

} // namespace qxm::editor
