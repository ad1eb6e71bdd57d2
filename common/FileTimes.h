#pragma once
// File times as plain 64-bit counts of 100 ns ticks, and back (Windows only).
#include <windows.h>

#include <cstdint>

namespace ornivel {

inline uint64_t ticksOfFileTime(const FILETIME& time) {
    return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

inline FILETIME fileTimeOfTicks(uint64_t ticks) {
    return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

} // namespace ornivel
