// The up-case table from the C library's Unicode case mappings (the C.UTF-8 locale).
#include "Upcase.h"

#include <locale.h>
#include <wctype.h>

#include <cstdint>
#include <vector>

namespace ornivel::publish {

namespace {

std::vector<uint16_t>& table() {
    static std::vector<uint16_t> units;
    return units;
}

} // namespace

bool prepareUpcase(std::string& problem) {
    std::vector<uint16_t>& units = table();
    if (!units.empty()) return true;
    locale_t locale = nullptr;
    for (const char* name : {"C.UTF-8", "C.utf8", "en_US.UTF-8"})
        if ((locale = newlocale(LC_CTYPE_MASK, name, static_cast<locale_t>(nullptr))) != nullptr) break;
    if (locale == nullptr) {
        problem = "no UTF-8 locale (C.UTF-8) to take the Unicode case mappings from";
        return false;
    }
    units.resize(0x10000);
    for (uint32_t unit = 0; unit < 0x10000; ++unit) {
        units[unit] = static_cast<uint16_t>(unit);
        if (unit >= 0xD800 && unit <= 0xDFFF) continue;
        const uint32_t upper = static_cast<uint32_t>(towupper_l(static_cast<wint_t>(unit), locale));
        if (upper != unit && upper < 0x10000 && static_cast<uint32_t>(towlower_l(upper, locale)) == unit)
            units[unit] = static_cast<uint16_t>(upper);
    }
    freelocale(locale);
    return true;
}

wchar_t upcaseUnit(wchar_t unit) {
    const uint16_t value = static_cast<uint16_t>(unit);
    const std::vector<uint16_t>& units = table();
    return static_cast<wchar_t>(units.empty() ? value : units[value]);
}

} // namespace ornivel::publish
