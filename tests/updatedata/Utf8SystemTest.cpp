// The UTF-8 reading and writing of common/Utf8.h agree with the system's own conversion:
// list names read as UTF-8 exactly when MultiByteToWideChar would, to the same text, and wide
// text written as the same bytes as WideCharToMultiByte writes.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "common/Utf8.h"

namespace ornivel {
namespace {

bool systemDecode(const std::string& bytes, std::wstring& text) {
    const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()),
                                      nullptr, 0);
    if (n <= 0) return false;
    text.assign(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()), text.data(), n);
    return true;
}

std::string systemEncode(const std::wstring& text) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                      nullptr);
    std::string bytes(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), n, nullptr, nullptr);
    return bytes;
}

bool sameReading(const std::string& bytes) {
    std::wstring ours, system;
    const bool read = decodeUtf8(bytes, ours);
    return read == systemDecode(bytes, system) && (!read || ours == system);
}

TEST(Utf8System, ReadingAgreesOnEverySequenceShape) {
    for (int a = 0; a < 256; ++a) {
        const char lead = static_cast<char>(a);
        ASSERT_TRUE(sameReading({lead, 'x'})) << a;
        for (int b = 0; b < 256; ++b) {
            const char second = static_cast<char>(b);
            ASSERT_TRUE(sameReading({lead, second})) << a << " " << b;
            if (a >= 0xE0) {
                ASSERT_TRUE(sameReading({lead, second, '\x80'})) << a << " " << b;
                ASSERT_TRUE(sameReading({lead, second, '\xBF', '\x80'})) << a << " " << b;
            }
        }
    }
    for (int a = 0xE0; a <= 0xEF; ++a)
        for (int b = 0x80; b <= 0xBF; ++b)
            for (int c : {0x00, 0x41, 0x7F, 0x80, 0x9F, 0xA0, 0xBF, 0xC0, 0xFF})
                ASSERT_TRUE(sameReading({static_cast<char>(a), static_cast<char>(b), static_cast<char>(c)}))
                    << a << " " << b << " " << c;
}

TEST(Utf8System, WritingAgreesForEveryUnitAndSurrogatePairs) {
    for (unsigned unit = 1; unit <= 0xFFFF; ++unit) {
        const std::wstring text{static_cast<wchar_t>(unit), L'a'};
        ASSERT_EQ(encodeUtf8(text), systemEncode(text)) << unit;
    }
    for (unsigned high : {0xD800u, 0xD83Du, 0xDBFFu})
        for (unsigned low : {0xDC00u, 0xDE00u, 0xDFFFu}) {
            const std::wstring pair{static_cast<wchar_t>(high), static_cast<wchar_t>(low)};
            EXPECT_EQ(encodeUtf8(pair), systemEncode(pair));
            const std::wstring reversed{static_cast<wchar_t>(low), static_cast<wchar_t>(high)};
            EXPECT_EQ(encodeUtf8(reversed), systemEncode(reversed));
        }
}

} // namespace
} // namespace ornivel
