#include "platform/codepage/CodePage.h"

#include <atomic>
#include <cstdlib>

namespace qxm::codepage {
namespace {

// -1: not decided yet; otherwise the Charset value. The forced flag tells a value set by
// setActive() from one read from the locale.
std::atomic<int> g_charset{-1};
std::atomic<bool> g_forced{false};

bool isUtf8Trail(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

bool isCp932Trail(unsigned char c) {
    return c >= 0x40 && c <= 0xFC && c != 0x7F;
}

// Bytes of the UTF-8 sequence a lead byte announces (0 when it is not a lead byte).
std::size_t utf8SequenceLength(unsigned char c) {
    if (c >= 0xC2 && c <= 0xDF) return 2;
    if (c >= 0xE0 && c <= 0xEF) return 3;
    if (c >= 0xF0 && c <= 0xF4) return 4;
    return 0;
}

// Length of a complete multibyte character at pos, 0 when none starts there.
std::size_t multibyteLength(std::string_view text, std::size_t pos, Charset charset) {
    const auto lead = static_cast<unsigned char>(text[pos]);
    if (charset == Charset::Cp932) {
        if (!isLeadByte(lead, charset) || pos + 1 >= text.size()) return 0;
        return isCp932Trail(static_cast<unsigned char>(text[pos + 1])) ? 2 : 0;
    }
    const std::size_t n = utf8SequenceLength(lead);
    if (n == 0 || pos + n > text.size()) return 0;
    for (std::size_t i = 1; i < n; ++i)
        if (!isUtf8Trail(static_cast<unsigned char>(text[pos + i]))) return 0;
    // Overlong three- and four-byte forms and code points beyond U+10FFFF are not characters.
    const auto second = static_cast<unsigned char>(text[pos + 1]);
    if (lead == 0xE0 && second < 0xA0) return 0;
    if (lead == 0xF0 && second < 0x90) return 0;
    if (lead == 0xF4 && second > 0x8F) return 0;
    return n;
}

std::string lowerCodeset(std::string_view s) {
    std::string out;
    for (char c : s) {
        if (c == '-' || c == '_') continue;
        out += (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
    }
    return out;
}

} // namespace

Charset fromLocaleName(std::string_view locale) {
    const std::size_t dot = locale.find('.');
    if (dot == std::string_view::npos) return Charset::Utf8;
    std::string_view codeset = locale.substr(dot + 1);
    codeset = codeset.substr(0, codeset.find('@'));
    const std::string c = lowerCodeset(codeset);
    if (c == "sjis" || c == "shiftjis" || c == "cp932" || c == "windows31j" || c == "mskanji" ||
        c == "windows932" || c == "ibm943")
        return Charset::Cp932;
    return Charset::Utf8;
}

Charset fromEnvironment() {
    for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char* v = std::getenv(name);
        if (v && *v) return fromLocaleName(v);
    }
    return Charset::Utf8;
}

Charset active() {
    int c = g_charset.load();
    if (c < 0) {
        c = static_cast<int>(fromEnvironment());
        int expected = -1;
        if (!g_charset.compare_exchange_strong(expected, c)) c = expected;
    }
    return static_cast<Charset>(c);
}

void setActive(Charset charset) {
    g_charset.store(static_cast<int>(charset));
    g_forced.store(true);
}

void resetFromLocale() {
    g_forced.store(false);
    g_charset.store(-1);
}

ScopedCharset::ScopedCharset(Charset charset) : hadForced_(g_forced.load()), previous_(active()) {
    setActive(charset);
}

ScopedCharset::~ScopedCharset() {
    if (hadForced_)
        setActive(previous_);
    else
        resetFromLocale();
}

bool isLeadByte(unsigned char byte, Charset charset) {
    if (charset == Charset::Cp932)
        return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
    return utf8SequenceLength(byte) != 0;
}

bool isSingleByteKatakana(unsigned char byte, Charset charset) {
    return charset == Charset::Cp932 && byte >= 0xA1 && byte <= 0xDF;
}

std::size_t charLength(std::string_view text, std::size_t pos, Charset charset) {
    if (pos >= text.size()) return 0;
    const std::size_t n = multibyteLength(text, pos, charset);
    return n ? n : 1;
}

bool isMultibyteAt(std::string_view text, std::size_t pos, Charset charset) {
    return pos < text.size() && multibyteLength(text, pos, charset) != 0;
}

std::size_t cutLength(std::string_view text, std::size_t maxBytes, Charset charset) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t n = charLength(text, pos, charset);
        if (pos + n > maxBytes) break;
        pos += n;
    }
    return pos;
}

std::size_t findFirstOf(std::string_view text, std::string_view set, Charset charset) {
    for (std::size_t pos = 0; pos < text.size(); pos += charLength(text, pos, charset))
        if (!isMultibyteAt(text, pos, charset) && set.find(text[pos]) != std::string_view::npos)
            return pos;
    return std::string_view::npos;
}

std::size_t findLastOf(std::string_view text, std::string_view set, Charset charset) {
    std::size_t found = std::string_view::npos;
    for (std::size_t pos = 0; pos < text.size(); pos += charLength(text, pos, charset))
        if (!isMultibyteAt(text, pos, charset) && set.find(text[pos]) != std::string_view::npos)
            found = pos;
    return found;
}

std::string toLowerAscii(std::string_view text, Charset charset) {
    std::string out(text);
    for (std::size_t pos = 0; pos < out.size(); pos += charLength(out, pos, charset)) {
        char& c = out[pos];
        if (!isMultibyteAt(out, pos, charset) && c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    }
    return out;
}

bool equalsIgnoreAsciiCase(std::string_view a, std::string_view b, Charset charset) {
    return a.size() == b.size() && toLowerAscii(a, charset) == toLowerAscii(b, charset);
}

} // namespace qxm::codepage
