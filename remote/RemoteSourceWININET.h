#pragma once
// Downloads files from a web server through WinHTTP, over HTTP or HTTPS.
#include <cstdint>
#include <string>
#include <vector>

#include "remote/RemoteSource.h"
#include "remote/WinHttpHandle.h"

namespace ornivel {

class RemoteSourceWININET : public RemoteSource {
public:
    // One session and one connection to host:port for the source's whole life. Construction
    // never fails; a missing session or connection shows up as failing downloads.
    RemoteSourceWININET(const std::wstring& host, const std::wstring& path, unsigned short port,
                        const LogDriver& log, bool secure);
    ~RemoteSourceWININET() override;

    bool fetch(std::wstring remoteName, std::wstring localPath, ProgressListener* listener) override;

    // The flags every request is opened with: always past caches, TLS when secure.
    static uint32_t requestFlags(bool secure);
    static constexpr unsigned long kHeaderTimeoutMs = 15000;
    static constexpr unsigned long kMaxHeaderBytes = 64 * 1024;
    bool secure() const { return secure_; }
    // The request's object name: base path (server path and "/") and the encoded remote name.
    static std::wstring objectName(const std::wstring& basePath, const std::wstring& remoteName);

    const std::wstring& basePath() const { return basePath_; }

private:
    // One GET, its answer written to `localPath` when the status is 200. Returns the status
    // (0 when no answer arrived or the file could not be written completely); `badStatus` is
    // set when an answer other than 200 arrived, which has been logged already.
    int fetch(const std::wstring& remoteName, const std::wstring& localPath, ProgressListener* listener,
              bool& badStatus);
    // Reads the body into the open file; false when reading or writing failed.
    bool receiveBody(HINTERNET request, HANDLE file, uint64_t contentLength, bool lengthKnown,
                     ProgressListener* listener);

    bool secure_;
    std::wstring basePath_;
    std::vector<char> buffer_;  // received bytes on their way to the file, kept from file to file
    // Declared in this order so that the connection closes before the session.
    WinHttpHandle session_;
    WinHttpHandle connection_;
};

} // namespace ornivel
