// UTF-8 without the system: the strict reading that decides whether a name's bytes are UTF-8,
// and the writing of wide text, alike where wchar_t has 16 bits and where it has 32.
#include <gtest/gtest.h>

#include "common/Utf8.h"

namespace ornivel {
namespace {

TEST(Utf8, WellFormedTextReadsAndWritesBack) {
    const std::string bytes = "a\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80";  // a, a umlaut, euro sign, U+1F600
    std::wstring text;
    ASSERT_TRUE(decodeUtf8(bytes, text));
    EXPECT_EQ(text, L"a\u00e4\u20ac\U0001F600");
    EXPECT_EQ(encodeUtf8(text), bytes);
    EXPECT_TRUE(decodeUtf8("", text) && text.empty());
    EXPECT_TRUE(decodeUtf8(std::string("\0", 1), text) && text == std::wstring(1, L'\0'));
}

TEST(Utf8, AnythingButWellFormedUtf8IsRefused) {
    for (const char* bad : {"\x80", "\xC0\x80", "\xC1\xBF", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF0\x8F\xBF\xBF",
                            "\xF4\x90\x80\x80", "\xF5\x80\x80\x80", "\xFF", "\xE2\x82", "a\xC3", "\xC3(", "\xE4.txt"}) {
        std::wstring text;
        EXPECT_FALSE(decodeUtf8(bad, text)) << bad;
        EXPECT_FALSE(isUtf8(bad)) << bad;
    }
    EXPECT_TRUE(isUtf8("\xEF\xBF\xBF\xF4\x8F\xBF\xBF"));  // U+FFFF and U+10FFFF are characters
}

TEST(Utf8, SurrogatesWithoutPartnerAreWrittenAsReplacementCharacter) {
    EXPECT_EQ(encodeUtf8(std::wstring(1, static_cast<wchar_t>(0xD83D))), "\xEF\xBF\xBD");
    EXPECT_EQ(encodeUtf8(std::wstring(1, static_cast<wchar_t>(0xDE00)) + L"x"), "\xEF\xBF\xBDx");
    // A pair of surrogate units is the character it encodes, whatever the width of wchar_t.
    const std::wstring pair{static_cast<wchar_t>(0xD83D), static_cast<wchar_t>(0xDE00)};
    EXPECT_EQ(encodeUtf8(pair), "\xF0\x9F\x98\x80");
}

} // namespace
} // namespace ornivel
