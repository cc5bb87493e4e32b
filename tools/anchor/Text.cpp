#include "tools/anchor/Text.h"

#include "platform/codepage/CodePage.h"
#include "platform/text/QuotedText.h"

#include <cerrno>
#include <cstdio>
#include <iconv.h>
#include <memory>

namespace qxm::anchortool {
namespace {

namespace cp = qxm::codepage;

constexpr std::string_view kReplacement = "\xEF\xBF\xBD"; // U+FFFD

// Length of the valid UTF-8 sequence at pos, 0 when the bytes there are none.
std::size_t utf8Length(std::string_view s, std::size_t pos) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char c = byte(pos);
    if (c < 0x80) return 1;
    std::size_t n = 0;
    unsigned char low = 0x80, high = 0xBF;
    if (c >= 0xC2 && c <= 0xDF) {
        n = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        n = 3;
        if (c == 0xE0) low = 0xA0;
        if (c == 0xED) high = 0x9F; // no surrogates
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4;
        if (c == 0xF0) low = 0x90;
        if (c == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (pos + n > s.size()) return 0;
    if (byte(pos + 1) < low || byte(pos + 1) > high) return 0;
    for (std::size_t i = 2; i < n; ++i)
        if (byte(pos + i) < 0x80 || byte(pos + i) > 0xBF) return 0;
    return n;
}

struct IconvCloser {
    void operator()(void* cd) const { iconv_close(static_cast<iconv_t>(cd)); }
};

// Converts with iconv, one character at a time past what cannot be converted.
std::string convert(const char* to, const char* from, std::string_view text,
                    std::string_view substitute, bool* flagged) {
    const iconv_t raw = iconv_open(to, from);
    if (raw == reinterpret_cast<iconv_t>(-1)) return std::string(text);
    std::unique_ptr<void, IconvCloser> cd(raw);
    std::string out;
    std::string in(text);
    char* src = in.data();
    std::size_t srcLeft = in.size();
    char buffer[256];
    while (srcLeft > 0) {
        char* dst = buffer;
        std::size_t dstLeft = sizeof buffer;
        const std::size_t r = iconv(raw, &src, &srcLeft, &dst, &dstLeft);
        out.append(buffer, static_cast<std::size_t>(dst - buffer));
        if (r != static_cast<std::size_t>(-1)) break;
        if (errno == E2BIG) continue;
        // An invalid or incomplete sequence: substitute one byte and go on after it.
        out.append(substitute);
        if (flagged) *flagged = true;
        ++src;
        --srcLeft;
    }
    return out;
}

} // namespace

std::string fill(std::string_view pattern, std::initializer_list<std::string_view> args) {
    std::string out;
    auto arg = args.begin();
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '{' && i + 1 < pattern.size() && pattern[i + 1] == '}' &&
            arg != args.end()) {
            out.append(*arg++);
            ++i;
        } else {
            out.push_back(pattern[i]);
        }
    }
    return out;
}

std::string quotedText(std::string_view text, std::size_t maxBytes) {
    std::string out = "\"";
    const cp::Charset charset = cp::active();
    std::size_t pos = 0;
    while (pos < text.size() && pos < maxBytes) {
        const std::size_t next = cp::next(text, pos, charset);
        const auto u = static_cast<unsigned char>(text[pos]);
        if (cp::isMultibyteAt(text, pos, charset) || (u >= 0x20 && u < 0x7F) ||
            cp::isSingleByteKatakana(u, charset)) {
            out.append(text.substr(pos, next - pos));
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", u);
            out += hex;
        }
        pos = next;
    }
    return out + (pos < text.size() ? "\"..." : "\"");
}

std::string toUtf8(std::string_view text, bool* replaced) {
    if (cp::active() == cp::Charset::Cp932)
        return convert("UTF-8", "CP932", text, kReplacement, replaced);
    std::string out;
    out.reserve(text.size());
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t n = utf8Length(text, pos);
        if (n == 0) {
            out.append(kReplacement);
            if (replaced) *replaced = true;
            ++pos;
        } else {
            out.append(text.substr(pos, n));
            pos += n;
        }
    }
    return out;
}

std::string fromUtf8(std::string_view utf8, bool* lossy) {
    if (cp::active() == cp::Charset::Cp932) return convert("CP932", "UTF-8", utf8, "?", lossy);
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t pos = 0; pos < utf8.size();) {
        const std::size_t n = utf8Length(utf8, pos);
        if (n == 0) {
            out.push_back('?');
            if (lossy) *lossy = true;
            ++pos;
        } else {
            out.append(utf8.substr(pos, n));
            pos += n;
        }
    }
    return out;
}

void appendJsonEscaped(std::string& out, std::string_view utf8) {
    for (const char c : utf8) {
        const auto u = static_cast<unsigned char>(c);
        if (const std::string_view e = backslashEscape(c); !e.empty()) {
            out += e;
        } else if (u < 0x20 || u == 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\u%04X", u);
            out += hex;
        } else {
            out.push_back(c);
        }
    }
}

void appendXmlEscaped(std::string& out, std::string_view utf8) {
    for (const char c : utf8) {
        const auto u = static_cast<unsigned char>(c);
        if (const std::string_view e = markupEntity(c); !e.empty()) {
            out += e;
            continue;
        }
        switch (c) {
        case '\'':
            out += "&apos;";
            break;
        case '\t':
            out += "&#9;";
            break;
        case '\n':
            out += "&#10;";
            break;
        case '\r':
            out += "&#13;";
            break;
        default:
            if (u < 0x20)
                out.append(kReplacement);
            else
                out.push_back(c);
        }
    }
}

} // namespace qxm::anchortool
