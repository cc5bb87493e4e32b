#pragma once
// Text in double quotes with the escapes \" \\ \n \r \t: how the text forms of property bags
// and of the control host's lines carry values that hold blanks, quotes or line breaks.
#include <cstddef>
#include <string>
#include <string_view>

namespace qxm {

// "text" with the escapes.
std::string quoteText(std::string_view text);

// The escape written for c in quoted text (a JSON string takes the same ones), or "" when c
// stands as it is. Inline: the writers call it for every character.
inline std::string_view backslashEscape(char c) {
    switch (c) {
    case '"':
        return "\\\"";
    case '\\':
        return "\\\\";
    case '\n':
        return "\\n";
    case '\r':
        return "\\r";
    case '\t':
        return "\\t";
    default:
        return {};
    }
}

// The entity written for c in XML or HTML text (& < > "), or "" when c stands as it is.
inline std::string_view markupEntity(char c) {
    switch (c) {
    case '&':
        return "&amp;";
    case '<':
        return "&lt;";
    case '>':
        return "&gt;";
    case '"':
        return "&quot;";
    default:
        return {};
    }
}

// Reads the quoted text starting at text[pos] == '"' into out and moves pos past its closing
// quote. False with *why when an escape is unknown or the quote does not close.
bool readQuoted(std::string_view text, std::size_t& pos, std::string& out, std::string* why);

} // namespace qxm
