#include "sync/FolderListing.h"

#include "common/Handles.h"
#include "filelist/FileList.h"

namespace ornivel {

namespace {

// Marks a name that two entries share once letter case is ignored.
constexpr DWORD kAmbiguous = 0xFFFFFFFF;

bool plainAscii(const std::wstring& text) {
    for (wchar_t c : text)
        if (c >= 0x80) return false;
    return true;
}

} // namespace

FolderListing::Folder FolderListing::list(const std::wstring& folder) {
    Folder result;
    WIN32_FIND_DATAW found;
    UniqueFindHandle find(
        FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0));
    if (!find) {
        const DWORD error = GetLastError();
        result.listed = error == ERROR_PATH_NOT_FOUND || error == ERROR_FILE_NOT_FOUND;
        return result;
    }
    result.listed = true;
    do {
        ListedFile file;
        file.attributes = found.dwFileAttributes;
        file.size = (static_cast<uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
        file.lastWrite = found.ftLastWriteTime;
        const std::wstring name = found.cFileName;
        result.otherLetters |= !plainAscii(name);
        auto [entry, added] = result.files.emplace(lowerAscii(name), file);
        if (!added) entry->second.attributes = kAmbiguous;
    } while (FindNextFileW(find.get(), &found));
    return result;
}

FolderListing::Lookup FolderListing::find(const std::wstring& path, ListedFile& file) {
    const size_t cut = path.find_last_of(L"\\/");
    if (cut == std::wstring::npos || cut == 0) return Lookup::Unknown;
    const std::wstring name = path.substr(cut + 1);
    if (name.empty() || name.find(L'~') != std::wstring::npos || !plainAscii(name)) return Lookup::Unknown;

    const std::wstring folderPath = path.substr(0, cut);
    auto at = folders_.find(lowerAscii(folderPath));
    if (at == folders_.end()) at = folders_.emplace(lowerAscii(folderPath), list(folderPath)).first;
    const Folder& folder = at->second;
    if (!folder.listed) return Lookup::Unknown;
    const auto entry = folder.files.find(lowerAscii(name));
    // A name outside ASCII may still match under the file system's own letter case rules.
    if (entry == folder.files.end()) return folder.otherLetters ? Lookup::Unknown : Lookup::Missing;
    const DWORD attributes = entry->second.attributes;
    if (attributes == kAmbiguous || (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)))
        return Lookup::Unknown;
    file = entry->second;
    return Lookup::Found;
}

bool FolderListing::lookUp(const std::wstring& path, ListedFile& file) {
    switch (find(path, file)) {
    case Lookup::Found:
        return true;
    case Lookup::Missing:
        return false;
    case Lookup::Unknown:
        break;
    }
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return false;
    file.attributes = data.dwFileAttributes;
    file.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    file.lastWrite = data.ftLastWriteTime;
    return true;
}

} // namespace ornivel
