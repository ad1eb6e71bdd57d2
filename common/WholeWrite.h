#pragma once
// Writing a whole buffer to a file handle, and reading a whole file (Windows only).
#include <windows.h>

#include <cstdint>
#include <string>

namespace ornivel {

// Writes all `length` bytes, in as many calls as the system needs; false when a write fails
// or writes nothing.
bool writeWhole(HANDLE file, const void* data, uint64_t length);

// The file's bytes from its start, at most `limit` of them, in as many calls as the system
// needs. False with the system's error when it cannot be read (ERROR_NOT_ENOUGH_MEMORY when
// it cannot be held).
bool readWhole(HANDLE file, std::string& bytes, uint64_t limit = UINT64_MAX);

} // namespace ornivel
