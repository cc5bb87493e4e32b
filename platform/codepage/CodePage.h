#pragma once
// The multibyte character set of the running program and the helpers that scan text in it.
//
// Text handled by the system (paths, anchor IDs and names, tokens of the text files) is a
// byte string in the active charset. Lengths and limits are always counted in bytes, but a
// scan never stops inside a multibyte character: every helper here steps over such a
// character as one unit, and a cut at a byte limit falls before a character that would be
// split.
//
// The active charset comes from the locale (LC_ALL, then LC_CTYPE, then LANG): a codeset of
// SJIS, Shift_JIS, CP932 (and their usual spellings) selects CP932, anything else UTF-8.
// Tests and tools can force either with setActive() or a ScopedCharset.
#include <cstddef>
#include <string>
#include <string_view>

namespace qxm::codepage {

enum class Charset {
    Utf8,  // lead bytes 0xC2-0xF4 start sequences of 2 to 4 bytes
    Cp932, // lead bytes 0x81-0x9F and 0xE0-0xFC take two bytes; 0xA1-0xDF are katakana
};

// The charset in use: forced by setActive(), otherwise taken from the environment's locale
// the first time it is asked for.
Charset active();

// Forces the charset for the whole process.
void setActive(Charset charset);

// Drops a forced charset and reads the locale again on the next call of active().
void resetFromLocale();

// The charset named by a locale string such as "ja_JP.SJIS", "C.UTF-8" or "en_US".
Charset fromLocaleName(std::string_view locale);

// The charset the environment's locale variables name.
Charset fromEnvironment();

// Forces a charset for its lifetime, then restores what was active before.
class ScopedCharset {
public:
    explicit ScopedCharset(Charset charset);
    ~ScopedCharset();
    ScopedCharset(const ScopedCharset&) = delete;
    ScopedCharset& operator=(const ScopedCharset&) = delete;

private:
    bool hadForced_;
    Charset previous_;
};

// True when the byte starts a character of more than one byte.
bool isLeadByte(unsigned char byte, Charset charset = active());

// True for the single-byte katakana of CP932 (0xA1-0xDF); never on UTF-8.
bool isSingleByteKatakana(unsigned char byte, Charset charset = active());

// Length in bytes of the character that starts at pos (0 at or past the end). A lead byte
// whose sequence is cut short by the end of the text, or that is not followed by valid trail
// bytes, counts as a character of one byte, so a scan always moves forward.
std::size_t charLength(std::string_view text, std::size_t pos, Charset charset = active());

// True when the character at pos is a complete, valid multibyte character.
bool isMultibyteAt(std::string_view text, std::size_t pos, Charset charset = active());

// The position of the character that follows the one at pos.
inline std::size_t next(std::string_view text, std::size_t pos, Charset charset = active()) {
    return pos + charLength(text, pos, charset);
}

// The longest prefix of text of at most maxBytes bytes that does not split a character.
std::size_t cutLength(std::string_view text, std::size_t maxBytes, Charset charset = active());
inline std::string_view cut(std::string_view text, std::size_t maxBytes,
                            Charset charset = active()) {
    return text.substr(0, cutLength(text, maxBytes, charset));
}

// Position of the first / last single-byte character of text that is one of the bytes in
// set; trail bytes of multibyte characters are never taken. npos when there is none.
std::size_t findFirstOf(std::string_view text, std::string_view set, Charset charset = active());
std::size_t findLastOf(std::string_view text, std::string_view set, Charset charset = active());

// ASCII letters folded to lower case; bytes of multibyte characters are left as they are
// (a CP932 trail byte may look like an ASCII capital).
std::string toLowerAscii(std::string_view text, Charset charset = active());

// Byte-wise equality after toLowerAscii of both sides.
bool equalsIgnoreAsciiCase(std::string_view a, std::string_view b, Charset charset = active());

} // namespace qxm::codepage
