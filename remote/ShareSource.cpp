#include "remote/ShareSource.h"

#include <winnetwk.h>

#include "logdriver/LastError.h"
#include "remote/UrlEncode.h"
#include "common/Guarded.h"

namespace ornivel {

namespace {

constexpr DWORD kPinning = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

} // namespace

DWORD CALLBACK RemoteSourceNET::copyProgress(LARGE_INTEGER totalSize, LARGE_INTEGER transferred, LARGE_INTEGER,
                                             LARGE_INTEGER, DWORD, DWORD, HANDLE, HANDLE, LPVOID context) {
    return guarded("the share copy's progress callback", DWORD{PROGRESS_CONTINUE}, [&]() -> DWORD {
        auto* listener = static_cast<ProgressListener*>(context);
        if (totalSize.QuadPart == 0 || listener == nullptr) return PROGRESS_CONTINUE;
        int percent = static_cast<int>(transferred.QuadPart * 100 / totalSize.QuadPart);
        listener->progress(nullptr, nullptr, nullptr, nullptr, &percent, nullptr);
        return PROGRESS_CONTINUE;
    });
}

DWORD SystemShareConnector::addConnection(NETRESOURCEW* resource, const wchar_t* password, const wchar_t* userName,
                                          DWORD flags) {
    return ::WNetAddConnection2W(resource, password, userName, flags);
}

DWORD SystemShareConnector::cancelConnection(const wchar_t* name, DWORD flags, BOOL force) {
    return ::WNetCancelConnection2W(name, flags, force);
}

SystemShareConnector& SystemShareConnector::instance() {
    static SystemShareConnector connector;
    return connector;
}

RemoteSourceNET::RemoteSourceNET(const std::wstring& sharePath, const std::wstring& userName,
                                 const std::wstring& password, const LogDriver& log)
    : RemoteSourceNET(sharePath, userName, password, log, SystemShareConnector::instance()) {}

RemoteSourceNET::RemoteSourceNET(const std::wstring& sharePath, const std::wstring& userName,
                                 const std::wstring& password, const LogDriver& log, ShareConnector& connector)
    : RemoteSource(log), sharePath_(sharePath), userName_(userName), password_(password), connector_(connector) {
    if (!sharePath_.empty() && sharePath_.back() == L'\\') sharePath_.pop_back();
    log_.log(LOG_DEBUG, L"Using UNC '%s' for sync.", sharePath_.c_str());
}

RemoteSourceNET::~RemoteSourceNET() {
    connector_.cancelConnection(sharePath_.c_str(), 0, TRUE);
    connected_ = false;
}

std::wstring RemoteSourceNET::sourceFile(const std::wstring& remoteName) const {
    return sharePath_ + L"\\" + remoteName;
}

bool RemoteSourceNET::connect() {
    if (connected_) return true;
    connector_.cancelConnection(sharePath_.c_str(), 0, TRUE);
    NETRESOURCEW resource{};
    resource.dwType = RESOURCETYPE_DISK;
    resource.lpRemoteName = sharePath_.data();
    connectError_ = connector_.addConnection(&resource, password_.c_str(), userName_.c_str(),
                                             CONNECT_TEMPORARY | CONNECT_UPDATE_RECENT);
    connected_ = connectError_ == NO_ERROR;
    return connected_;
}

bool RemoteSourceNET::fetch(std::wstring remoteName, std::wstring localPath, ProgressListener* listener, NameBytes) {
    if (!connect()) {
        log_.log(LOG_DEBUG, L"Error connecting to remote drive. OS Error: %s", LastError(connectError_).text().c_str());
        return false;
    }
    log_.log(LOG_INFO, L"Downloading file '%s' to '%s'", remoteName.c_str(), localPath.c_str());
    if (!createParentDirectories(localPath)) {
        log_.log(LOG_DEBUG, L"Could not create dir. OS Error: %s", LastError().text().c_str());
        return false;
    }
    const std::wstring source = sourceFile(remoteName);
    const std::wstring partial = partialPath(localPath);
    // A copy comes whole: whatever an earlier download left is given up, also a pinned file.
    ::SetFileAttributesW(partial.c_str(), FILE_ATTRIBUTE_NORMAL);
    discardPartial(localPath);
    DWORD attributes = INVALID_FILE_ATTRIBUTES;
    if (::CopyFileExW(source.c_str(), partial.c_str(), copyProgress, listener, nullptr, 0)) {
        // The copy takes the share's attributes along: read-only, hidden or system would pin
        // the file in the installation (never replaced, never removed).
        attributes = ::GetFileAttributesW(partial.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & kPinning) != 0) {
            const DWORD rest = attributes & ~kPinning;
            if (!::SetFileAttributesW(partial.c_str(), rest != 0 ? rest : FILE_ATTRIBUTE_NORMAL))
                attributes = INVALID_FILE_ATTRIBUTES;
        }
    }
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = ::GetLastError();
        ::SetFileAttributesW(partial.c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileW(partial.c_str());
        log_.log(LOG_DEBUG, L"Could not copy file '%s'. OS Error: %s", source.c_str(), LastError(error).text().c_str());
        return false;
    }
    return true;
}

} // namespace ornivel
