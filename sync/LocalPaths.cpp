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


} // namespace ornivel
