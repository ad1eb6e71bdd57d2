#include "Upcase.h"

#include <cstdint>

namespace ornivel::publish {

std::wstring upcased(std::wstring units) {
    for (wchar_t& unit : units) unit = upcaseUnit(unit);
    return units;
}

bool ntfsLess(const std::wstring& a, const std::wstring& b) {
    const size_t common = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < common; ++i) {
        const uint16_t x = static_cast<uint16_t>(upcaseUnit(a[i]));
        const uint16_t y = static_cast<uint16_t>(upcaseUnit(b[i]));
        if (x != y) return x < y;
    }
    if (a.size() != b.size()) return a.size() < b.size();
    return a < b;
}

} // namespace ornivel::publish
