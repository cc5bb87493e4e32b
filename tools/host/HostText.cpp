#include "tools/host/HostText.h"

#include "platform/text/QuotedText.h"

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

bool parseBounded(std::string_view word, long long min, long long max, long long& out) {
    std::size_t i = 0;
    bool negative = false;
    if (!word.empty() && (word[0] == '-' || word[0] == '+')) {
        negative = word[0] == '-';
        i = 1;
    }
    if (i == word.size()) return false;
    unsigned long long magnitude = 0;
    for (; i < word.size(); ++i) {
        if (word[i] < '0' || word[i] > '9') return false;
        magnitude = magnitude * 10 + unsigned(word[i] - '0');
        if (magnitude > (1ull << 62)) return false; // far beyond any bound used here
    }
    const long long v =
        negative ? -static_cast<long long>(magnitude) : static_cast<long long>(magnitude);
    if (v < min || v > max) return false;
    out = v;
    return true;
}

std::string echoed(std::string_view input, std::size_t maxBytes) {
    if (input.size() <= maxBytes) return std::string(input);
    return std::string(input.substr(0, maxBytes)) + "... (" + std::to_string(input.size()) +
           " bytes)";
}

std::string showValue(const Variant& v) {
    std::string text;
    v.toString(text);
    return v.type() == VarType::BStr ? quoteText(text) : text;
}

} // namespace qxm::host
