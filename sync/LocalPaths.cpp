#include "sync/LocalPaths.h"

namespace ornivel {

namespace {

bool isSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

} // namespace

std::wstring joinLocalPath(const std::wstring& folder, const std::wstring& name) {
    if (folder.empty() || isSeparator(folder.back())) return folder + name;
    return folder + L'\\' + name;
}

std::wstring withExtension(const std::wstring& path, const std::wstring& extension) {
    size_t nameStart = path.find_last_of(L"\\/:");
    nameStart = nameStart == std::wstring::npos ? 0 : nameStart + 1;
    size_t dot = path.find_last_of(L'.');
    if (dot == std::wstring::npos || dot < nameStart) return path + extension;
    return path.substr(0, dot) + extension;
}

bool escapesInstallation(const std::wstring& relativePath) {
    if (relativePath.empty() || isSeparator(relativePath[0])) return true;
    if (relativePath.find(L':') != std::wstring::npos) return true;
    size_t start = 0;
    while (start <= relativePath.size()) {
        size_t end = relativePath.find_first_of(L"\\/", start);
        if (end == std::wstring::npos) end = relativePath.size();
        std::wstring part = relativePath.substr(start, end - start);
        start = end + 1;
        // "." and "" stay where they are; any other name made only of dots and blanks may be
        // shortened by Windows (which strips them at the end of a name) to "..".
        if (!part.empty() && part != L"." && part.find_first_not_of(L". ") == std::wstring::npos) return true;
    }
    return false;
}

} // namespace ornivel
