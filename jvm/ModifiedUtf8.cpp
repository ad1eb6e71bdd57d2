#include "jvm/ModifiedUtf8.h"

#include "common/Utf16.h"

namespace ornivel {

std::string toModifiedUtf8(const std::wstring& text) {
    std::string out;
    out.reserve(text.size());
    for (char16_t unit : toUtf16(text)) {
        unsigned c = unit;
        if (c != 0 && c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

namespace {
bool continuation(unsigned char b) { return (b & 0xC0) == 0x80; }
}

std::wstring fromModifiedUtf8(const std::string& bytes) {
    const char16_t replacement = 0xFFFD;
    std::u16string out;
    out.reserve(bytes.size());
    const size_t n = bytes.size();
    size_t i = 0;
    while (i < n) {
        auto b0 = static_cast<unsigned char>(bytes[i]);
        if (b0 < 0x80) {
            out += static_cast<char16_t>(b0);
            i += 1;
        } else if ((b0 & 0xE0) == 0xC0 && i + 1 < n && continuation(bytes[i + 1])) {
            out += static_cast<char16_t>(((b0 & 0x1F) << 6) | (bytes[i + 1] & 0x3F));
            i += 2;
        } else if ((b0 & 0xF0) == 0xE0 && i + 2 < n && continuation(bytes[i + 1]) && continuation(bytes[i + 2])) {
            out += static_cast<char16_t>(((b0 & 0x0F) << 12) | ((bytes[i + 1] & 0x3F) << 6) | (bytes[i + 2] & 0x3F));
            i += 3;
        } else if ((b0 & 0xF8) == 0xF0 && i + 3 < n && continuation(bytes[i + 1]) && continuation(bytes[i + 2]) &&
                   continuation(bytes[i + 3])) {
            unsigned cp = ((b0 & 0x07) << 18) | ((bytes[i + 1] & 0x3F) << 12) | ((bytes[i + 2] & 0x3F) << 6) |
                          (bytes[i + 3] & 0x3F);
            if (cp >= 0x10000 && cp <= 0x10FFFF) {
                cp -= 0x10000;
                out += static_cast<char16_t>(0xD800 | (cp >> 10));
                out += static_cast<char16_t>(0xDC00 | (cp & 0x3FF));
            } else {
                out += replacement;
            }
            i += 4;
        } else {
            out += replacement;
            i += 1;
        }
    }
    // Surrogate pairs (two three-byte groups) become one character where a wide character
    // holds a whole code point.
    return fromUtf16(out);
}

} // namespace ornivel
