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

bool RemoteSource::beginHttpDownload(std::wstring& remoteName, const std::wstring& localPath) {
    std::replace(remoteName.begin(), remoteName.end(), L'\\', L'/');
    log_.log(LOG_INFO, L"Downloading file '%s' to '%s'", remoteName.c_str(), localPath.c_str());
    if (createParentDirectories(localPath)) return true;
    log_.log(LOG_DEBUG, L"Could not create dir. OS error: %s", LastError().text().c_str());
    return false;
}

} // namespace ornivel
