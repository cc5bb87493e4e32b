#include "platform/codepage/CodePage.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace qxm::codepage;

namespace {

// "\x82\xA0" is a CP932 hiragana; "\x83\x5C" a CP932 katakana whose trail byte is '\'.
const std::string kSjisA = "\x82\xA0";
const std::string kSjisSo = "\x83\x5C";
const std::string kUtf8Kana = "\xE3\x81\x82"; // U+3042

class EnvGuard {
public:
    explicit EnvGuard(const char* name) : name_(name) {
        if (const char* v = std::getenv(name)) {
            had_ = true;
            old_ = v;
        }
    }
    ~EnvGuard() {
        if (had_)
            setenv(name_, old_.c_str(), 1);
        else
            unsetenv(name_);
    }

private:
    const char* name_;
    bool had_ = false;
    std::string old_;
};

} // namespace

TEST(CodePage, LocaleNamesSelectTheCharset) {
    EXPECT_EQ(fromLocaleName("ja_JP.SJIS"), Charset::Cp932);
    EXPECT_EQ(fromLocaleName("ja_JP.Shift_JIS"), Charset::Cp932);
    EXPECT_EQ(fromLocaleName("ja_JP.shift-jis"), Charset::Cp932);
    EXPECT_EQ(fromLocaleName("ja_JP.CP932@euro"), Charset::Cp932);
    EXPECT_EQ(fromLocaleName("ja_JP.UTF-8"), Charset::Utf8);
    EXPECT_EQ(fromLocaleName("C.UTF-8"), Charset::Utf8);
    EXPECT_EQ(fromLocaleName("C"), Charset::Utf8);
    EXPECT_EQ(fromLocaleName(""), Charset::Utf8);
}

TEST(CodePage, EnvironmentOrderAndForcing) {
    EnvGuard all("LC_ALL"), ctype("LC_CTYPE"), lang("LANG");
    unsetenv("LC_ALL");
    setenv("LC_CTYPE", "ja_JP.SJIS", 1);
    setenv("LANG", "en_US.UTF-8", 1);
    EXPECT_EQ(fromEnvironment(), Charset::Cp932);
    setenv("LC_ALL", "C.UTF-8", 1);
    EXPECT_EQ(fromEnvironment(), Charset::Utf8);

    resetFromLocale();
    EXPECT_EQ(active(), Charset::Utf8);
    {
        ScopedCharset forced(Charset::Cp932);
        EXPECT_EQ(active(), Charset::Cp932);
        {
            ScopedCharset inner(Charset::Utf8);
            EXPECT_EQ(active(), Charset::Utf8);
        }
        EXPECT_EQ(active(), Charset::Cp932);
    }
    unsetenv("LC_ALL");
    // Back to the locale, which is read again: LC_CTYPE now names Shift_JIS.
    EXPECT_EQ(active(), Charset::Cp932);
    resetFromLocale();
}

TEST(CodePage, LeadBytesAndKatakana) {
    for (int b = 0; b < 256; ++b) {
        const auto c = static_cast<unsigned char>(b);
        const bool sjisLead = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
        EXPECT_EQ(isLeadByte(c, Charset::Cp932), sjisLead) << b;
        EXPECT_EQ(isSingleByteKatakana(c, Charset::Cp932), b >= 0xA1 && b <= 0xDF) << b;
        EXPECT_FALSE(isSingleByteKatakana(c, Charset::Utf8)) << b;
        EXPECT_EQ(isLeadByte(c, Charset::Utf8), b >= 0xC2 && b <= 0xF4) << b;
    }
}

TEST(CodePage, CharacterLengths) {
    const std::string s = "a" + kSjisA + "\xB1" + kSjisSo;
    EXPECT_EQ(charLength(s, 0, Charset::Cp932), 1u);
    EXPECT_EQ(charLength(s, 1, Charset::Cp932), 2u);
    EXPECT_EQ(charLength(s, 3, Charset::Cp932), 1u); // half-width katakana
    EXPECT_EQ(charLength(s, 4, Charset::Cp932), 2u);
    EXPECT_EQ(charLength(s, 6, Charset::Cp932), 0u);
    // A lead byte at the end, or before a byte that cannot trail, is one byte.
    EXPECT_EQ(charLength("\x82", 0, Charset::Cp932), 1u);
    EXPECT_EQ(charLength("\x82\n", 0, Charset::Cp932), 1u);

    const std::string u = "a" + kUtf8Kana + "\xC3\xA9" + "\xF0\x9F\x98\x80";
    EXPECT_EQ(charLength(u, 1, Charset::Utf8), 3u);
    EXPECT_EQ(charLength(u, 4, Charset::Utf8), 2u);
    EXPECT_EQ(charLength(u, 6, Charset::Utf8), 4u);
    EXPECT_EQ(charLength("\xE3\x81", 0, Charset::Utf8), 1u); // truncated sequence
    EXPECT_EQ(charLength("\x80", 0, Charset::Utf8), 1u);     // stray continuation byte
    EXPECT_EQ(charLength("\xC0\x80", 0, Charset::Utf8), 1u); // overlong
    EXPECT_EQ(charLength("\xE0\x80\x80", 0, Charset::Utf8), 1u);
    EXPECT_EQ(charLength("\xF4\x90\x80\x80", 0, Charset::Utf8), 1u); // beyond U+10FFFF
    EXPECT_TRUE(isMultibyteAt(u, 1, Charset::Utf8));
    EXPECT_FALSE(isMultibyteAt(u, 0, Charset::Utf8));
}

TEST(CodePage, CutsFallBeforeASplitCharacter) {
    const std::string five = kSjisA + kSjisA + kSjisA + kSjisA + kSjisA; // 10 bytes
    EXPECT_EQ(cutLength(five, 10, Charset::Cp932), 10u);
    EXPECT_EQ(cutLength(five, 9, Charset::Cp932), 8u);
    EXPECT_EQ(cutLength("a" + five, 10, Charset::Cp932), 9u);
    EXPECT_EQ(cut("abcdef", 4, Charset::Cp932), "abcd");
    EXPECT_EQ(cut("ab" + kUtf8Kana, 4, Charset::Utf8), "ab");
    EXPECT_EQ(cut("ab" + kUtf8Kana, 5, Charset::Utf8), "ab" + kUtf8Kana);
    EXPECT_EQ(cut("", 5), "");
}

TEST(CodePage, SearchesSkipTrailBytes) {
    // The trail byte 0x5C of kSjisSo is not a separator on CP932, but is a byte of its own
    // on UTF-8, where 0x83 is a stray byte.
    const std::string path = "dir\\" + kSjisSo + "x.avi";
    EXPECT_EQ(findLastOf(path, "\\", Charset::Cp932), 3u);
    EXPECT_EQ(findLastOf(path, "\\", Charset::Utf8), 5u);
    EXPECT_EQ(findFirstOf(kSjisSo + "\\", "\\", Charset::Cp932), 2u);
    EXPECT_EQ(findFirstOf("abc", ":", Charset::Cp932), std::string_view::npos);
    EXPECT_EQ(findLastOf("a.b.c", ".", Charset::Utf8), 3u);
}

TEST(CodePage, LowerCaseLeavesMultibyteBytesAlone) {
    // 0x83 0x41 is a CP932 character whose trail byte is 'A'.
    const std::string mixed = "Clip\x83\x41.AVI";
    EXPECT_EQ(toLowerAscii(mixed, Charset::Cp932), "clip\x83\x41.avi");
    EXPECT_EQ(toLowerAscii(mixed, Charset::Utf8), "clip\x83\x61.avi");
    EXPECT_TRUE(equalsIgnoreAsciiCase("Clip.AVI", "clip.avi", Charset::Utf8));
    EXPECT_FALSE(equalsIgnoreAsciiCase("\x83\x41", "\x83\x61", Charset::Cp932));
    EXPECT_FALSE(equalsIgnoreAsciiCase("abc", "abcd", Charset::Utf8));
}
