#include "remote/RemoteSource.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "logdriver/LastError.h"
#include "remote/UrlEncode.h"

namespace ornivel {

namespace {

bool exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

size_t lastSeparator(const std::wstring& path) { return path.find_last_of(L"\\/"); }

} // namespace

bool RemoteSource::createParentDirectories(const std::wstring& localPath) {
    size_t cut = lastSeparator(localPath);
    if (cut == std::wstring::npos) return true;  // a bare file name: nothing to create
    std::wstring folder = localPath.substr(0, cut);
    if (folder == knownFolder_) return true;
    knownFolder_.clear();
    const std::wstring parent = folder;

    std::vector<std::wstring> missing;
    while (!folder.empty() && !exists(folder)) {
        missing.push_back(folder);
        cut = lastSeparator(folder);
        if (cut == std::wstring::npos) break;
        folder.resize(cut);
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        log_.log(LOG_INFO, L"Creating %s ", it->c_str());
        if (!::CreateDirectoryW(it->c_str(), nullptr)) return false;
    }
    knownFolder_ = parent;
    return true;
}

bool RemoteSource::isPartialDownload(const std::wstring& name) {
    const size_t suffix = std::char_traits<wchar_t>::length(kPartialSuffix);
    return name.size() > suffix && _wcsicmp(name.c_str() + name.size() - suffix, kPartialSuffix) == 0;
}

bool RemoteSource::commitDownload(const std::wstring& localPath) {
    const std::wstring partial = partialPath(localPath);
    if (::MoveFileExW(partial.c_str(), localPath.c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
    const DWORD error = ::GetLastError();
    log_.log(LOG_ERROR, L"Could not put the downloaded file '%s' in place. Error: %s", localPath.c_str(),
             LastError(error).text().c_str());
    ::DeleteFileW(partial.c_str());
    ::SetLastError(error);
    return false;
}

bool RemoteSource::beginHttpDownload(std::wstring& remoteName, const std::wstring& localPath) {
    std::replace(remoteName.begin(), remoteName.end(), L'\\', L'/');
    log_.log(LOG_INFO, L"Downloading file '%s' to '%s'", remoteName.c_str(), localPath.c_str());
    if (createParentDirectories(localPath)) return true;
    log_.log(LOG_DEBUG, L"Could not create dir. OS error: %s", LastError().text().c_str());
    return false;
}

} // namespace ornivel
