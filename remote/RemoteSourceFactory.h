#pragma once
// The source that serves a deployment server, chosen by the server's type.
#include <memory>
#include <string>

#include "remote/RemoteSource.h"

namespace ornivel {

// "http": WinHTTP, then the socket client; "https": WinHTTP with TLS alone (no clear-text
// fallback); "inet": WinHTTP alone; "net": the network share
// `path` with the credentials. The type is compared case-insensitively. Null for any other
// type (the caller logs "Unknown type of deployment server.").
std::unique_ptr<RemoteSource> createRemoteSource(const std::wstring& type, const std::wstring& host,
                                                 const std::wstring& path, int port, const std::wstring& userName,
                                                 const std::wstring& password, const LogDriver& log);

} // namespace ornivel
