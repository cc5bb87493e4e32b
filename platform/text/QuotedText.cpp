#include "platform/text/QuotedText.h"

namespace qxm {

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
