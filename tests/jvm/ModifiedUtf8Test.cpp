#include <gtest/gtest.h>

#include "jvm/ModifiedUtf8.h"

using namespace ornivel;

TEST(ModifiedUtf8, EncodesLikeJni) {
    EXPECT_EQ(toModifiedUtf8(L"launcher.dat"), "launcher.dat");
    EXPECT_EQ(toModifiedUtf8(std::wstring(L"a\0b", 3)), std::string("a\xC0\x80" "b"));
    EXPECT_EQ(toModifiedUtf8(L"\x00FC"), "\xC3\xBC");
    EXPECT_EQ(toModifiedUtf8(L"\x20AC"), "\xE2\x82\xAC");
    // A character outside the BMP (a surrogate pair in a 16-bit wchar_t, one 32-bit wchar_t
    // natively): each UTF-16 surrogate on its own, three bytes each.
    EXPECT_EQ(toModifiedUtf8(L"\U0001F600"), "\xED\xA0\xBD\xED\xB8\x80");
}

TEST(ModifiedUtf8, DecodesItsOwnFormAndStandardUtf8) {
    const std::wstring text = std::wstring(L"Gr\x00FC\x00DF" L"e \x20AC \U0001F600 ") + std::wstring(1, L'\0') + L"end";
    EXPECT_EQ(fromModifiedUtf8(toModifiedUtf8(text)), text);
    EXPECT_EQ(fromModifiedUtf8("\xF0\x9F\x98\x80"), L"\U0001F600");
    EXPECT_EQ(fromModifiedUtf8("\xED\xA0\xBD\xED\xB8\x80"), L"\U0001F600");
}

TEST(ModifiedUtf8, MalformedBytesBecomeReplacementCharacters) {
    EXPECT_EQ(fromModifiedUtf8("a\xFC" "b"), L"a\xFFFD" L"b");  // a Latin-1 byte
    EXPECT_EQ(fromModifiedUtf8("\xE2\x82"), L"\xFFFD\xFFFD");   // cut short
    EXPECT_EQ(fromModifiedUtf8(""), L"");
}
