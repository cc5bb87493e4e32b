#include "tools/host/HostText.h"

#include "platform/component/QuotedText.h"

namespace qxm::host {

bool splitWords(std::string_view line, std::vector<std::string>& words, std::string* error) {
    words.clear();
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    std::size_t i = 0;
    while (true) {
        while (i < line.size() && blank(line[i]))
            ++i;
        if (i == line.size()) return true;
        std::string word;
        if (line[i] == '"') {
            if (!readQuoted(line, i, word, error)) return false;
        } else {
            while (i < line.size() && !blank(line[i]))
                word += line[i++];
        }
        words.push_back(std::move(word));
    }
}

std::string showValue(const Variant& v) {
    std::string text;
    v.toString(text);
    return v.type() == VarType::BStr ? quoteText(text) : text;
}

} // namespace qxm::host
