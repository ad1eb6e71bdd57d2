#include "common/Utf16.h"

namespace ornivel {

namespace {
constexpr bool kWideIsUtf16 = sizeof(wchar_t) == 2;

bool highSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool lowSurrogate(char32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }
} // namespace

std::u16string toUtf16(const std::wstring& text) {
    std::u16string units;
    units.reserve(text.size());
    for (wchar_t wc : text) {
        auto c = static_cast<char32_t>(wc);
        if (!kWideIsUtf16 && c > 0xFFFF && c <= 0x10FFFF) {
            c -= 0x10000;
            units += static_cast<char16_t>(0xD800 | (c >> 10));
            units += static_cast<char16_t>(0xDC00 | (c & 0x3FF));
        } else {
            units += static_cast<char16_t>(c & 0xFFFF);
        }
    }
    return units;
}

std::wstring fromUtf16(const std::u16string& units) {
    std::wstring text;
    text.reserve(units.size());
    for (size_t i = 0; i < units.size(); ++i) {
        char32_t c = units[i];
        if (!kWideIsUtf16 && highSurrogate(c) && i + 1 < units.size() && lowSurrogate(units[i + 1])) {
            c = 0x10000 + ((c - 0xD800) << 10) + (units[i + 1] - 0xDC00);
            ++i;
        }
        text += static_cast<wchar_t>(c);
    }
    return text;
}

} // namespace ornivel
