#pragma once
// The text parts of the client checksum: the folders and patterns scanned, module names,
// the 32-bit fold, the item text and the digest of the whole text. Plain text logic, shared by
// the launcher (which scans the installation) and the publisher (which predicts its value).
#include <string>

namespace ornivel {

// Only entries whose relative path contains this marker take part in the checksum.
extern const wchar_t* const kModuleMarker;
// Put in front of the checksum text before it is digested.
extern const wchar_t* const kChecksumPrefix;
// The folders scanned, in this order, relative to the installation (appended as they stand),
// and the file patterns looked for in each, in this order.
extern const wchar_t* const kScanFolders[2];
extern const wchar_t* const kScanPatterns[2];

// The module name of a relative path: the path without every ".jar", then every "module",
// then every digit, ".", "-", "/" and "\". False (no name) when the path lacks "module".
bool moduleName(const std::wstring& relativePath, std::wstring& name);

// XORs the UTF-16 units, four at a time shifted by 0, 8, 16 and 24 bits, into 32 bits;
// printed as lower-case hexadecimal without leading zeros.
std::wstring foldHash(const std::wstring& text);

// "%d;%s" of a size and an entry.
std::wstring checksumItem(int size, const std::wstring& entry);

// Appends "name=fold;" for one scanned entry (scan folder + name) with its module name and the
// low 32 bits of its size (0 for a folder).
void appendChecksumItem(std::wstring& text, const std::wstring& name, int size, const std::wstring& entry);

// The client checksum of a checksum text: the digest of the prefix followed by the text.
std::wstring clientChecksumOfText(const std::wstring& text);

} // namespace ornivel
