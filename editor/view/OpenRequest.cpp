#include "editor/view/OpenRequest.h"

#include "editor/anchors/AnchorTable.h"
#include "platform/codepage/CodePage.h"

namespace qxm::editor {

namespace {

// The first c at or after start (npos in, npos out), stepping over multibyte characters;
// start must begin a character.
std::size_t findFrom(std::string_view text, char c, std::size_t start) {
    if (start == std::string_view::npos || start > text.size()) return std::string_view::npos;
    const std::size_t found = codepage::findFirstOf(text.substr(start), std::string_view(&c, 1));
    return found == std::string_view::npos ? found : start + found;
}

} // namespace

OpenRequest ParseOpenRequest(std::string_view data) {
    OpenRequest r;
    std::string_view text = data.substr(0, std::min(data.size(), kOpenRequestBytes));
    if (const std::size_t nul = text.find('\0'); nul != std::string_view::npos)
        text = text.substr(0, nul);
    if (text.empty()) return r;
    r.empty = false;
    const auto after = [](std::size_t p) { return p == std::string_view::npos ? p : p + 1; };
    const std::size_t q1 = findFrom(text, '"', 0);
    const std::size_t q2 = findFrom(text, '"', after(q1));
    const std::size_t c1 = findFrom(text, ',', after(q2));
    if (c1 == std::string_view::npos) {
        r.path = codepage::cut(text, kOpenPathBytes);
        return r;
    }
    const std::size_t length = c1 >= 2 ? c1 - 2 : 0;
    r.path = codepage::cut(text.substr(std::min(q1 + 1, text.size()), length), kOpenPathBytes);
    const std::string_view rest = text.substr(c1 + 1);
    const std::size_t c2 = codepage::findFirstOf(rest, ",");
    if (c2 != std::string_view::npos) {
        r.anchorId = codepage::cut(rest.substr(0, c2), anchors::kMaxIdBytes);
        r.anchorIdSet = true;
    }
    return r;
}

} // namespace qxm::editor
