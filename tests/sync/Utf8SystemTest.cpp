// The reading of UTF-8 without the system (common/Utf16.h: the publisher's, and the one the
// fuzz targets read list names with) agrees with the system's own: text is UTF-8 exactly when
// MultiByteToWideChar, which the launcher reads list names with, says so, and reads the same.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "common/Utf16.h"

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

bool sameReading(const std::string& bytes) {
    std::wstring ours, system;
    const bool read = utf16OfUtf8(bytes, ours);
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

} // namespace
} // namespace ornivel
