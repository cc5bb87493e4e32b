#include "editor/anchors/AnchorRules.h"

#include "editor/anchors/AnchorTable.h"
#include "editor/anchors/AnchorTexts.h"
#include "platform/codepage/CodePage.h"

namespace qxm::anchors {
namespace {

namespace cp = qxm::codepage;

bool isIdSymbol(char c) {
    constexpr std::string_view symbols = "!#$%&()-^_{}~";
    return symbols.find(c) != std::string_view::npos;
}

bool isAsciiAlnum(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// Length rule, then every single-byte character against the rule; multibyte characters of
// the code page are always allowed.
template <class SingleByteRule>
TextCheck checkText(std::string_view text, std::size_t maxBytes, SingleByteRule allowed) {
    if (text.empty()) return TextCheck::Empty;
    if (text.size() > maxBytes) return TextCheck::TooLong;
    const cp::Charset charset = cp::active();
    for (std::size_t pos = 0; pos < text.size(); pos = cp::next(text, pos, charset))
        if (!cp::isMultibyteAt(text, pos, charset) &&
            !allowed(static_cast<unsigned char>(text[pos]), charset))
            return TextCheck::InvalidChar;
    return TextCheck::Ok;
}

} // namespace

TextCheck CheckAnchorID(std::string_view id) {
    return checkText(id, kMaxIdBytes, [](unsigned char c, cp::Charset charset) {
        return isAsciiAlnum(char(c)) || isIdSymbol(char(c)) || cp::isSingleByteKatakana(c, charset);
    });
}

TextCheck CheckAnchorName(std::string_view name) {
    return checkText(name, kMaxNameBytes, [](unsigned char c, cp::Charset) {
        return c != ':' && c != ' ' && c != ',' && c >= 0x20 && c != 0x7F;
    });
}

NewAnchorProblem CheckNewAnchor(const AnchorTable& table, std::string_view name,
                                std::string_view id) {
    const TextCheck n = CheckAnchorName(name);
    const TextCheck i = CheckAnchorID(id);
    if (n == TextCheck::Empty) return {text::kNameMissing, true};
    if (i == TextCheck::Empty) return {text::kIdMissing, false};
    if (n == TextCheck::TooLong) return {text::kNameTooLong, true};
    if (i == TextCheck::TooLong) return {text::kIdTooLong, false};
    if (n == TextCheck::InvalidChar) return {text::kNameInvalid, true};
    if (i == TextCheck::InvalidChar) return {text::kIdInvalid, false};
    if (table.FindByID(id) >= 0) return {text::kIdExists, false};
    return {};
}

} // namespace qxm::anchors
