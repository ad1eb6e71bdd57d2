#pragma once
// Whether two paths name one file, whatever their spelling (short 8.3 names, links).
#include <string>

namespace ornivel {

// True when both paths exist and name the same file on the same volume.
bool sameExistingFile(const std::wstring& a, const std::wstring& b);

// Whether a relative path could hold a short 8.3 name (Windows makes them with a "~"), so
// that it may name an existing file under another spelling.
bool mayBeShortName(const std::wstring& relativePath);

} // namespace ornivel
