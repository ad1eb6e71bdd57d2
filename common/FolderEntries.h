#pragma once
// Enumerating the entries of a folder (Windows only).
#include <windows.h>

#include <string>

#include "common/Handles.h"

namespace ornivel {

// Calls visit(const WIN32_FIND_DATAW&) for every entry that matches `pattern` (a folder path
// with a wildcard name, "." and ".." included where the system lists them).
template <typename Visit>
void forEachFolderEntry(const std::wstring& pattern, Visit visit) {
    WIN32_FIND_DATAW data;
    UniqueFindHandle find(FindFirstFileW(pattern.c_str(), &data));
    if (!find) return;
    do {
        visit(data);
    } while (FindNextFileW(find.get(), &data));
}

inline bool isFolderEntry(const WIN32_FIND_DATAW& data) { return (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }

} // namespace ornivel
