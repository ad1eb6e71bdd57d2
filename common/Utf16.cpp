#include "common/Utf16.h"

#include <cstdint>

namespace ornivel {

namespace {

constexpr bool kWideIsUtf16 = sizeof(wchar_t) == 2;
constexpr char32_t kReplacement = 0xFFFD;

bool highSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool lowSurrogate(char32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

void appendUtf8(std::string& out, char32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

void appendWide(std::wstring& out, char32_t code) {
    if (kWideIsUtf16 && code >= 0x10000) {
        out += static_cast<wchar_t>(0xD800 + ((code - 0x10000) >> 10));
        out += static_cast<wchar_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
    } else {
        out += static_cast<wchar_t>(code);
    }
}

// The UTF-8 form; a lone surrogate (or, where a wide character is a code point, a value
// beyond U+10FFFF) becomes U+FFFD and clears `whole`.
std::string encode(const std::wstring& text, bool& whole) {
    std::string out;
    out.reserve(text.size());
    whole = true;
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = static_cast<char32_t>(text[i]) & (kWideIsUtf16 ? 0xFFFF : 0xFFFFFFFF);
        if (highSurrogate(c) && i + 1 < text.size() && lowSurrogate(static_cast<char32_t>(text[i + 1]))) {
            c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<char32_t>(text[++i]) - 0xDC00);
        } else if (highSurrogate(c) || lowSurrogate(c) || c > 0x10FFFF) {
            c = kReplacement;
            whole = false;
        }
        appendUtf8(out, c);
    }
    return out;
}

// One well-formed sequence at `at`: its code point, and `at` moved past it; false (and `at`
// unchanged) for a byte that does not begin one.
bool decodeOne(std::string_view utf8, size_t& at, char32_t& code) {
    const unsigned char lead = static_cast<unsigned char>(utf8[at]);
    size_t length;
    char32_t minimum;
    if (lead < 0x80) {
        length = 1, code = lead, minimum = 0;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, code = lead & 0x1F, minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, code = lead & 0x0F, minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, code = lead & 0x07, minimum = 0x10000;
    } else {
        return false;
    }
    if (utf8.size() - at < length) return false;
    for (size_t k = 1; k < length; ++k) {
        const unsigned char next = static_cast<unsigned char>(utf8[at + k]);
        if ((next & 0xC0) != 0x80) return false;
        code = (code << 6) | (next & 0x3F);
    }
    if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    at += length;
    return true;
}

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

std::string utf8OfUtf16(const std::wstring& text) {
    bool whole;
    return encode(text, whole);
}

bool strictUtf8OfUtf16(const std::wstring& text, std::string& utf8) {
    bool whole;
    utf8 = encode(text, whole);
    return whole;
}

bool utf16OfUtf8(std::string_view utf8, std::wstring& text) {
    std::wstring out;
    out.reserve(utf8.size());
    char32_t code = 0;
    for (size_t at = 0; at < utf8.size();) {
        if (!decodeOne(utf8, at, code)) return false;
        appendWide(out, code);
    }
    text = std::move(out);
    return true;
}

std::wstring utf16OfUtf8Replacing(std::string_view utf8) {
    std::wstring out;
    out.reserve(utf8.size());
    char32_t code = 0;
    for (size_t at = 0; at < utf8.size();) {
        if (decodeOne(utf8, at, code)) {
            appendWide(out, code);
        } else {
            out += static_cast<wchar_t>(kReplacement);
            ++at;
        }
    }
    return out;
}

} // namespace ornivel
