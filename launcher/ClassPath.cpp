#include "launcher/ClassPath.h"

#include <windows.h>

#include "common/FolderEntries.h"

namespace ornivel {

namespace {
const wchar_t* const kModuleFolders[] = {L"module/", L"system/jar/"};
} // namespace

std::vector<std::wstring> classPathEntries(const std::wstring& currentFolder) {
    std::vector<std::wstring> entries;
    for (const wchar_t* folder : kModuleFolders) {
        std::wstring base = currentFolder + folder;
        for (const wchar_t* pattern : {L"\\*.jar", L"\\*.jbn"}) {
            forEachFolderEntry(base + pattern, [&](const WIN32_FIND_DATAW& data) {
                if (!isFolderEntry(data)) entries.push_back(folder + std::wstring(data.cFileName));
            });
        }
        forEachFolderEntry(base + L"\\*", [&](const WIN32_FIND_DATAW& data) {
            if (isFolderEntry(data) && data.cFileName[0] != L'.') entries.push_back(folder + std::wstring(data.cFileName));
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
