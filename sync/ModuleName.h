#pragma once
// The text parts of the client checksum: module names, the 32-bit fold and the item text.
#include <string>

namespace ornivel {

// Only entries whose relative path contains this marker take part in the checksum.
extern const wchar_t* const kModuleMarker;
// Put in front of the checksum text before it is digested.
extern const wchar_t* const kChecksumPrefix;

// The module name of a relative path: the path without every ".jar", then every "module",
// then every digit, ".", "-", "/" and "\". False (no name) when the path lacks "module".
bool moduleName(const std::wstring& relativePath, std::wstring& name);

// XORs the UTF-16 units, four at a time shifted by 0, 8, 16 and 24 bits, into 32 bits;
// printed as lower-case hexadecimal without leading zeros.
std::wstring foldHash(const std::wstring& text);

// "%d;%s" of a size and an entry.
std::wstring checksumItem(int size, const std::wstring& entry);

} // namespace ornivel
