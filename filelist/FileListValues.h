#pragma once
// Reading the attribute texts of a file-list entry.
#include <cstdint>
#include <string>

namespace ornivel {

// A time of the form "day.month.year hour:minute:second" ("%hu.%hu.%hu %hu:%hu:%hu").
struct ListTime {
    unsigned short day = 0, month = 0, year = 0, hour = 0, minute = 0, second = 0;
};
// False when the text does not have all six numbers.
bool parseListTime(const char* text, ListTime& time);

// The "Size" text as a decimal integer: leading blanks and a sign allowed, reading stops at
// the first other character. Sizes of 2 GiB and more keep their low 32 bits, as the local
// comparison uses the low 32 bits of a file's size. False when there is no digit or the
// number does not fit 64 bits.
bool parseListSize(const char* text, int& size);

// The list element's "Serial" (signed lists): decimal digits only, within 64 bits. False for
// anything else.
bool parseListSerial(const char* text, uint64_t& serial);

// Whether two file times (100 ns ticks) count as the same: the same high 32 bits, and low
// 32 bits within 60 seconds as a signed 32-bit difference.
bool sameFileTime(uint64_t a, uint64_t b);

// The value taken for an entry without a readable "Size": no file's low 32 size bits match
// it short of a file of 4 GiB - 1 bytes, so such an entry without checksum counts as changed.
constexpr int kUnknownListSize = -1;

} // namespace ornivel
