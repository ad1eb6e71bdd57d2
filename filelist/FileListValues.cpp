#include "filelist/FileListValues.h"

#include <cstdint>
#include <cstdio>

#include "common/TextScan.h"

namespace ornivel {

bool parseListTime(const char* text, ListTime& time) {
    if (text == nullptr) return false;
    ListTime t;
    if (std::sscanf(text, "%hu.%hu.%hu %hu:%hu:%hu", &t.day, &t.month, &t.year, &t.hour, &t.minute, &t.second) != 6)
        return false;
    time = t;
    return true;
}

bool parseListSize(const char* text, int& size) {
    if (text == nullptr) return false;
    const char* p = text;
    while (isCSpace(*p)) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    if (*p < '0' || *p > '9') return false;
    uint64_t value = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        unsigned digit = static_cast<unsigned>(*p - '0');
        if (value > (UINT64_MAX - digit) / 10) return false;
        value = value * 10 + digit;
    }
    if (negative) value = 0 - value;
    size = static_cast<int>(static_cast<uint32_t>(value));
    return true;
}

bool parseListSerial(const char* text, uint64_t& serial) {
    if (text == nullptr || *text == '\0') return false;
    uint64_t value = 0;
    for (const char* p = text; *p; ++p) {
        if (*p < '0' || *p > '9') return false;
        const unsigned digit = static_cast<unsigned>(*p - '0');
        if (value > (UINT64_MAX - digit) / 10) return false;
        value = value * 10 + digit;
    }
    serial = value;
    return true;
}

bool sameFileTime(uint64_t a, uint64_t b) {
    if ((a >> 32) != (b >> 32)) return false;
    const int32_t difference = static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
    const long long distance = difference < 0 ? -static_cast<long long>(difference) : difference;
    return distance <= 600000000;
}

} // namespace ornivel
