#include "remote/RemoteSource.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "common/Text.h"
#include "logdriver/LastError.h"
#include "remote/UrlEncode.h"

namespace ornivel {

namespace {

bool exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool isFolder(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

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
        // Another transfer of the same pass may have made it in the meantime.
        if (::CreateDirectoryW(it->c_str(), nullptr)) continue;
        const DWORD error = ::GetLastError();
        if (isFolder(*it)) continue;
        ::SetLastError(error);
        return false;
    }
    knownFolder_ = parent;
    return true;
}

namespace {

bool endsWith(const std::wstring& name, const wchar_t* suffix) {
    const size_t length = std::char_traits<wchar_t>::length(suffix);
    return name.size() > length && _wcsicmp(name.c_str() + name.size() - length, suffix) == 0;
}

} // namespace

bool RemoteSource::isPartialDownload(const std::wstring& name) { return !realNameOfPartial(name).empty(); }

std::wstring RemoteSource::realNameOfPartial(const std::wstring& name) {
    for (const wchar_t* suffix : {kPartialSuffix, kResumeSuffix})
        if (endsWith(name, suffix)) return name.substr(0, name.size() - std::char_traits<wchar_t>::length(suffix));
    return {};
}

void RemoteSource::discardPartial(const std::wstring& localPath) {
    ::DeleteFileW(partialPath(localPath).c_str());
    ::DeleteFileW(resumeInfoPath(localPath).c_str());
}

bool RemoteSource::download(std::wstring remoteName, std::wstring localPath, ProgressListener* listener) {
    return fetch(std::move(remoteName), localPath, listener) && commitDownload(localPath);
}

bool RemoteSource::commitDownload(const std::wstring& localPath) {
    const std::wstring partial = partialPath(localPath);
    if (::MoveFileExW(partial.c_str(), localPath.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        ::DeleteFileW(resumeInfoPath(localPath).c_str());
        return true;
    }
    const DWORD error = ::GetLastError();
    log_.log(LOG_ERROR, L"Could not put the downloaded file '%s' in place. Error: %s", localPath.c_str(),
             LastError(error).text().c_str());
    discardPartial(localPath);
    ::SetLastError(error);
    return false;
}

std::string RemoteSource::serverBytesOf(const std::wstring& remoteName, NameBytes nameBytes) {
    return nameBytes == NameBytes::Ansi ? toAnsi(remoteName) : toUtf8(remoteName);
}

bool RemoteSource::beginHttpDownload(std::wstring& remoteName, const std::wstring& localPath) {
    std::replace(remoteName.begin(), remoteName.end(), L'\\', L'/');
    log_.log(LOG_INFO, L"Downloading file '%s' to '%s'", remoteName.c_str(), localPath.c_str());
    if (createParentDirectories(localPath)) return true;
    log_.log(LOG_DEBUG, L"Could not create dir. OS error: %s", LastError().text().c_str());
    return false;
}

} // namespace ornivel
