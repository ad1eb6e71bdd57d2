#pragma once
// Copies files from a Windows network share.
#include <windows.h>
#include <winnetwk.h>

#include <string>

#include "remote/RemoteSource.h"

namespace ornivel {

// The network-connection calls, replaceable in tests (the signatures are those of
// WNetAddConnection2W and WNetCancelConnection2W).
class ShareConnector {
public:
    virtual ~ShareConnector() = default;
    virtual DWORD addConnection(NETRESOURCEW* resource, const wchar_t* password, const wchar_t* userName,
                                DWORD flags) = 0;
    virtual DWORD cancelConnection(const wchar_t* name, DWORD flags, BOOL force) = 0;
};

// The operating system's network connections.
class SystemShareConnector : public ShareConnector {
public:
    DWORD addConnection(NETRESOURCEW* resource, const wchar_t* password, const wchar_t* userName,
                        DWORD flags) override;
    DWORD cancelConnection(const wchar_t* name, DWORD flags, BOOL force) override;
    static SystemShareConnector& instance();
};

class RemoteSourceNET : public RemoteSource {
public:
    // `sharePath` is the UNC path of the deployment folder; one trailing "\" is removed.
    RemoteSourceNET(const std::wstring& sharePath, const std::wstring& userName, const std::wstring& password,
                    const LogDriver& log);
    // The same with another connector (not owned; must outlive the source).
    RemoteSourceNET(const std::wstring& sharePath, const std::wstring& userName, const std::wstring& password,
                    const LogDriver& log, ShareConnector& connector);
    // Always cancels the connection to the share.
    ~RemoteSourceNET() override;

    // Connects first (again after every failed attempt), then copies the file.
    bool fetch(std::wstring remoteName, std::wstring localPath, ProgressListener* listener,
               NameBytes nameBytes = NameBytes::Utf8) override;

    const std::wstring& sharePath() const { return sharePath_; }
    bool connected() const { return connected_; }
    // The copy's progress routine; `context` is the listener (may be null).
    static DWORD CALLBACK copyProgress(LARGE_INTEGER totalSize, LARGE_INTEGER transferred, LARGE_INTEGER streamSize,
                                       LARGE_INTEGER streamTransferred, DWORD stream, DWORD reason, HANDLE source,
                                       HANDLE destination, LPVOID context);
    // The file on the share that a remote name is copied from.
    std::wstring sourceFile(const std::wstring& remoteName) const;

private:
    bool connect();

    bool connected_ = false;
    std::wstring sharePath_;
    std::wstring userName_;
    std::wstring password_;
    ShareConnector& connector_;
    DWORD connectError_ = 0;
};

} // namespace ornivel
