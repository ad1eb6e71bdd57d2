#pragma once
// The Java class path: the archives and sub-folders of "module/" and "system/jar/".
#include <string>
#include <vector>

namespace ornivel {

// Entries relative to the working folder: per folder the "*.jar" files, the "*.jbn" files
// (both in the order the system lists them) and the sub-folders not starting with ".".
std::vector<std::wstring> classPathEntries(const std::wstring& currentFolder);
// Every entry followed by ";" (empty for no entries).
std::wstring joinClassPath(const std::vector<std::wstring>& entries);
std::wstring buildClassPath(const std::wstring& currentFolder);

} // namespace ornivel
