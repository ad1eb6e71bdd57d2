#include "launcher/ClassPath.h"

#include <windows.h>

#include "common/Handles.h"

namespace ornivel {

namespace {
const wchar_t* const kModuleFolders[] = {L"module/", L"system/jar/"};

template <typename Visit>
void enumerate(const std::wstring& pattern, Visit visit) {
    WIN32_FIND_DATAW data;
    UniqueFindHandle find(FindFirstFileW(pattern.c_str(), &data));
    if (!find) return;
    do {
        visit(data);
    } while (FindNextFileW(find.get(), &data));
}

bool isFolder(const WIN32_FIND_DATAW& data) { return (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
} // namespace

std::vector<std::wstring> classPathEntries(const std::wstring& currentFolder) {
    std::vector<std::wstring> entries;
    for (const wchar_t* folder : kModuleFolders) {
        std::wstring base = currentFolder + folder;
        for (const wchar_t* pattern : {L"\\*.jar", L"\\*.jbn"}) {
            enumerate(base + pattern, [&](const WIN32_FIND_DATAW& data) {
                if (!isFolder(data)) entries.push_back(folder + std::wstring(data.cFileName));
            });
        }
        enumerate(base + L"\\*", [&](const WIN32_FIND_DATAW& data) {
            if (isFolder(data) && data.cFileName[0] != L'.') entries.push_back(folder + std::wstring(data.cFileName));
        });
    }
    return entries;
}

std::wstring joinClassPath(const std::vector<std::wstring>& entries) {
    std::wstring classPath;
    for (const std::wstring& entry : entries) classPath += entry + L';';
    return classPath;
}

std::wstring buildClassPath(const std::wstring& currentFolder) { return joinClassPath(classPathEntries(currentFolder)); }

} // namespace ornivel
