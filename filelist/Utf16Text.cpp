#include "filelist/Utf16Text.h"

#include <cstdint>

namespace ornivel {

namespace {

bool isHighSurrogate(uint32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool isLowSurrogate(uint32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

void appendUtf8(std::string& out, uint32_t code) {
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

// Converts; a lone surrogate becomes U+FFFD and clears `whole`.
std::string convert(const std::wstring& units, bool& whole) {
    std::string out;
    out.reserve(units.size());
    whole = true;
    for (size_t i = 0; i < units.size(); ++i) {
        uint32_t unit = static_cast<uint16_t>(units[i]);
        if (isHighSurrogate(unit) && i + 1 < units.size() && isLowSurrogate(static_cast<uint16_t>(units[i + 1]))) {
            const uint32_t low = static_cast<uint16_t>(units[++i]);
            appendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
        } else if (isHighSurrogate(unit) || isLowSurrogate(unit)) {
            appendUtf8(out, 0xFFFD);
            whole = false;
        } else {
            appendUtf8(out, unit);
        }
    }
    return out;
}

} // namespace

std::string utf8OfUtf16(const std::wstring& units) {
    bool whole;
    return convert(units, whole);
}

bool strictUtf8OfUtf16(const std::wstring& units, std::string& utf8) {
    bool whole;
    utf8 = convert(units, whole);
    return whole;
}

bool utf16OfUtf8(std::string_view utf8, std::wstring& units) {
    std::wstring out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
        const unsigned char lead = static_cast<unsigned char>(utf8[i]);
        size_t length;
        uint32_t code;
        uint32_t minimum;
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
        if (utf8.size() - i < length) return false;
        for (size_t k = 1; k < length; ++k) {
            const unsigned char next = static_cast<unsigned char>(utf8[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            code = (code << 6) | (next & 0x3F);
        }
        if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
        if (code >= 0x10000) {
            out += static_cast<wchar_t>(0xD800 + ((code - 0x10000) >> 10));
            out += static_cast<wchar_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
        } else {
            out += static_cast<wchar_t>(code);
        }
        i += length;
    }
    units = std::move(out);
    return true;
}

} // namespace ornivel
