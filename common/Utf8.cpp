#include "common/Utf8.h"

namespace ornivel {

namespace {

constexpr bool kWideIsUtf16 = sizeof(wchar_t) == 2;
constexpr char32_t kReplacement = 0xFFFD;

bool isHighSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool isLowSurrogate(char32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

void appendCharacter(std::wstring& text, char32_t c) {
    if (kWideIsUtf16 && c > 0xFFFF) {
        c -= 0x10000;
        text += static_cast<wchar_t>(0xD800 | (c >> 10));
        text += static_cast<wchar_t>(0xDC00 | (c & 0x3FF));
    } else {
        text += static_cast<wchar_t>(c);
    }
}

void appendUtf8(std::string& bytes, char32_t c) {
    if (c < 0x80) {
        bytes += static_cast<char>(c);
    } else if (c < 0x800) {
        bytes += static_cast<char>(0xC0 | (c >> 6));
        bytes += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        bytes += static_cast<char>(0xE0 | (c >> 12));
        bytes += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        bytes += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        bytes += static_cast<char>(0xF0 | (c >> 18));
        bytes += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        bytes += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        bytes += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// The well-formed sequence at bytes[i] (its length, its character in `c`), or 0 when there
// is none.
size_t sequenceAt(std::string_view bytes, size_t i, char32_t& c) {
    const auto b0 = static_cast<unsigned char>(bytes[i]);
    if (b0 < 0x80) {
        c = b0;
        return 1;
    }
    // The length of the sequence and the range its second byte must lie in; the range
    // excludes overlong forms, encoded surrogates and values beyond U+10FFFF.
    size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        length = 2;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        length = 3;
        if (b0 == 0xE0) low = 0xA0;
        if (b0 == 0xED) high = 0x9F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        length = 4;
        if (b0 == 0xF0) low = 0x90;
        if (b0 == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (bytes.size() - i < length) return 0;
    const auto b1 = static_cast<unsigned char>(bytes[i + 1]);
    if (b1 < low || b1 > high) return 0;
    c = b0 & (0x7F >> length);
    for (size_t k = 1; k < length; ++k) {
        const auto b = static_cast<unsigned char>(bytes[i + k]);
        if ((b & 0xC0) != 0x80) return 0;
        c = (c << 6) | (b & 0x3F);
    }
    return length;
}

} // namespace

bool isUtf8(std::string_view bytes) {
    char32_t c;
    for (size_t i = 0, length; i < bytes.size(); i += length)
        if ((length = sequenceAt(bytes, i, c)) == 0) return false;
    return true;
}

bool decodeUtf8(std::string_view bytes, std::wstring& text) {
    text.clear();
    text.reserve(bytes.size());
    char32_t c;
    for (size_t i = 0, length; i < bytes.size(); i += length) {
        if ((length = sequenceAt(bytes, i, c)) == 0) return false;
        appendCharacter(text, c);
    }
    return true;
}

std::string encodeUtf8(const std::wstring& text) {
    std::string bytes;
    bytes.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = static_cast<char32_t>(text[i]);
        if (isHighSurrogate(c) && i + 1 < text.size() && isLowSurrogate(static_cast<char32_t>(text[i + 1]))) {
            c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<char32_t>(text[i + 1]) - 0xDC00);
            ++i;
        } else if (isHighSurrogate(c) || isLowSurrogate(c) || c > 0x10FFFF) {
            c = kReplacement;
        }
        appendUtf8(bytes, c);
    }
    return bytes;
}

} // namespace ornivel
