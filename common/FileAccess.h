#pragma once
// Files named by their (wide) paths, where the program needs more than a stream.
#include <cstdio>
#include <string>

namespace ornivel {

// Whether the file exists and can be opened for reading while others may go on reading
// (`othersMayRead`) or writing (`othersMayWrite`) it. Where the system has no sharing modes
// (POSIX), whether it can be opened for reading at all.
bool canOpenForReading(const std::wstring& path, bool othersMayRead, bool othersMayWrite);
// Deletes the file; false when it cannot be deleted (a missing file included).
bool deleteFile(const std::wstring& path);
// A C stream on the file (fopen modes), which other processes may read and write while it
// is open (_wfsopen with _SH_DENYNO). Null when it cannot be opened.
FILE* openSharedFile(const std::wstring& path, const wchar_t* mode);

} // namespace ornivel
