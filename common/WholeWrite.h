#pragma once
// Writing a whole buffer to a file handle (Windows only).
#include <windows.h>

#include <cstdint>

namespace ornivel {

// Writes all `length` bytes, in as many calls as the system needs; false when a write fails
// or writes nothing.
bool writeWhole(HANDLE file, const void* data, uint64_t length);

} // namespace ornivel
