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

} // namespace

TextCheck CheckAnchorID(std::string_view id) {
    if (id.empty()) return TextCheck::Empty;
    if (id.size() > kMaxIdBytes) return TextCheck::TooLong;
    const cp::Charset charset = cp::active();
    for (std::size_t pos = 0; pos < id.size(); pos = cp::next(id, pos, charset)) {
        if (cp::isMultibyteAt(id, pos, charset)) continue;
        const char c = id[pos];
        if (isAsciiAlnum(c) || isIdSymbol(c)) continue;
        if (cp::isSingleByteKatakana(static_cast<unsigned char>(c), charset)) continue;
        return TextCheck::InvalidChar;
    }
    return TextCheck::Ok;
}

TextCheck CheckAnchorName(std::string_view name) {
    if (name.empty()) return TextCheck::Empty;
    if (name.size() > kMaxNameBytes) return TextCheck::TooLong;
    const cp::Charset charset = cp::active();
    for (std::size_t pos = 0; pos < name.size(); pos = cp::next(name, pos, charset)) {
        if (cp::isMultibyteAt(name, pos, charset)) continue;
        const auto c = static_cast<unsigned char>(name[pos]);
        if (c == ':' || c == ' ' || c == ',' || c < 0x20 || c == 0x7F)
            return TextCheck::InvalidChar;
    }
    return TextCheck::Ok;
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
