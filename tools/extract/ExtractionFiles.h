#pragma once
// The file system side of an extraction, one source file per platform: the folders and
// files under the target folder, and the system's 8-bit text. The tool ships with
// ExtractionFilesWin32.cpp; ExtractionFilesPosix.cpp runs the same extraction natively
// (tests and fuzzing). Paths are wide text with "\" separators.
#include <string>

struct archive;
struct archive_entry;

namespace ornivel::extract {

// Creates the folder and its missing parents; true when it is a folder afterwards.
bool createFolders(const std::wstring& folder);

// Creates or replaces the file, writes the entry's data (read in order) into it and gives it
// the entry's last-write time when the archive has one.
bool writeEntryData(archive* a, archive_entry* entry, const std::wstring& path);

// Text in the system's 8-bit encoding (libarchive's messages, names without a wide form).
std::wstring widenSystemText(const char* text);

} // namespace ornivel::extract
