#pragma once
// Downloads files over plain HTTP with the program's own socket client.
#include <string>

#include "remote/RemoteSource.h"
#include "remote/Request.h"

namespace ornivel {

class RemoteSourceHTTP : public RemoteSource {
public:
    // Base URL "http://" host ":" port "/" path "/"; with `dump` the request texts and the
    // response headers go to the log (level debug), credentials masked. Requests go through
    // the proxy that discovery decides for the server (ProxyDiscovery), or direct.
    RemoteSourceHTTP(const std::wstring& host, const std::wstring& path, unsigned short port, const LogDriver& log,
                     bool dump);

    // Tries one directly after the other: each continues the partial file where it can; the
    // source fails after kAttempts tries in a row that add nothing that can be continued.
    bool fetch(std::wstring remoteName, std::wstring localPath, ProgressListener* listener,
               NameBytes nameBytes = NameBytes::Utf8) override;

    static constexpr int kAttempts = 3;  // tries in a row without progress

    const std::wstring& baseUrl() const { return baseUrl_; }
    // The client, for adjusting its time-outs in tests.
    Request& request() { return request_; }

private:
    std::wstring baseUrl_;
    Request request_;
};

} // namespace ornivel
