// The text conversions: UTF-8 names (read only when they are well-formed UTF-8, as the
// system reads them, and written back to the same bytes), the modified UTF-8 of JNI (a round
// trip for every UTF-16 text, no zero byte on the wire), and the UTF-16 hex of the login
// record.
#include <string>

#include "FuzzSupport.h"
#include "common/Text.h"
#include "common/Utf16.h"
#include "jvm/ModifiedUtf8.h"
#include "launcher/LoginRecord.h"
#include "common/Utf16.h"

using namespace ornivel;
using namespace ornivel::fuzz;

namespace {

// Whether bytes are well-formed UTF-8, decided another way than utf16OfUtf8 does: decode each
// sequence by its lead byte's length, then demand the shortest form and a Unicode scalar value.
bool wellFormedUtf8(std::string_view bytes) {
    for (size_t i = 0; i < bytes.size();) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        size_t length = lead < 0x80 ? 1 : lead >= 0xF0 && lead < 0xF8 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
        if (length == 0 || lead >= 0xF8 || i + length > bytes.size()) return false;
        uint32_t value = length == 1 ? lead : lead & (0xFF >> (length + 1));
        for (size_t k = 1; k < length; ++k) {
            const auto b = static_cast<unsigned char>(bytes[i + k]);
            if ((b >> 6) != 2) return false;
            value = value << 6 | (b & 0x3F);
        }
        const size_t shortest = value < 0x80 ? 1 : value < 0x800 ? 2 : value < 0x10000 ? 3 : 4;
        if (shortest != length || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return false;
        i += length;
    }
    return true;
}

// The UTF-16 units of a text with every surrogate that has no partner replaced by U+FFFD.
std::wstring pairedOrReplaced(const std::wstring& units) {
    std::wstring out;
    for (size_t i = 0; i < units.size(); ++i) {
        const wchar_t u = units[i];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
            out += u;
            out += units[++i];
        } else {
            out += (u >= 0xD800 && u <= 0xDFFF) ? wchar_t(0xFFFD) : u;
        }
    }
    return out;
}

void checkUtf8(std::string_view bytes, const std::wstring& units) {
    // Names are read as UTF-8 exactly when they are well-formed UTF-8, and go back to the
    // same bytes.
    std::wstring read;
    const bool decoded = utf16OfUtf8(bytes, read);
    FUZZ_CHECK(decoded == wellFormedUtf8(bytes));
    if (decoded) {
        std::string back;
        FUZZ_CHECK(strictUtf8OfUtf16(read, back) && back == bytes);
        FUZZ_CHECK(toUtf8(fromUtf8(std::string(bytes))) == bytes);  // the native build's own conversion
    }
    // Any UTF-16 text is written as well-formed UTF-8 that reads back as itself, a surrogate
    // without its partner as U+FFFD.
    const std::string written = utf8OfUtf16(units);
    std::wstring back;
    FUZZ_CHECK(wellFormedUtf8(written) && utf16OfUtf8(written, back));
    FUZZ_CHECK(toUtf16(back) == toUtf16(pairedOrReplaced(units)));  // a pair may come back as one code point
}

void checkModifiedUtf8(const std::string& bytes, const std::wstring& units) {
    const std::string wire = toModifiedUtf8(units);
    for (char c : wire) FUZZ_CHECK(c != '\0' && static_cast<unsigned char>(c) < 0xF0);
    FUZZ_CHECK(toUtf16(fromModifiedUtf8(wire)) == toUtf16(units));

    // Whatever arrives from the Java side reads as text that goes back and forth unchanged.
    const std::wstring read = fromModifiedUtf8(bytes);
    FUZZ_CHECK(toUtf16(fromModifiedUtf8(toModifiedUtf8(read))) == toUtf16(read));
}

void checkHex(const std::wstring& text) {
    const std::u16string units = toUtf16(text);
    const std::wstring hex = hexUtf16(text);
    FUZZ_CHECK(hex.size() == units.size() * 4);
    for (size_t i = 0; i < units.size(); ++i) {
        unsigned value = 0;
        for (size_t k = 0; k < 4; ++k) {
            const wchar_t c = hex[i * 4 + k];
            FUZZ_CHECK(isLowerHex(c));
            value = value * 16 + static_cast<unsigned>(c <= L'9' ? c - L'0' : c - L'a' + 10);
        }
        FUZZ_CHECK(value == units[i]);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(bytesOf(data, size));
    const std::wstring units = unitsOfBytes(bytes);
    checkUtf8(bytes, units);
    checkModifiedUtf8(bytes, units);
    checkHex(units);
    if (wellFormedUtf8(bytes)) checkHex(fromUtf8(bytes));  // whole characters beyond U+FFFF where wchar_t has 32 bits
    return 0;
}
