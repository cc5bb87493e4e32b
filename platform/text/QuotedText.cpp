#include "platform/text/QuotedText.h"

namespace qxm {

std::string_view backslashEscape(char c) {
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

std::string_view markupEntity(char c) {
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

std::string quoteText(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        if (const std::string_view e = backslashEscape(c); !e.empty())
            out += e;
        else
            out += c;
    }
    return out + '"';
}

bool readQuoted(std::string_view text, std::size_t& pos, std::string& out, std::string* why) {
    out.clear();
    std::size_t i = pos + 1;
    for (; i < text.size() && text[i] != '"'; ++i) {
        char c = text[i];
        if (c == '\\') {
            if (++i >= text.size()) break;
            switch (text[i]) {
            case 'n':
                c = '\n';
                break;
            case 'r':
                c = '\r';
                break;
            case 't':
                c = '\t';
                break;
            case '"':
            case '\\':
                c = text[i];
                break;
            default:
                if (why) *why = std::string("unknown escape \\") + text[i] + " in the quoted value";
                return false;
            }
        }
        out += c;
    }
    if (i >= text.size()) {
        if (why) *why = "the quoted value does not close on its line";
        return false;
    }
    pos = i + 1;
    return true;
}

} // namespace qxm
