#include "remote/RemoteSourceFactory.h"

#include <cwctype>

#include "remote/RemoteSourceCombination.h"
#include "remote/SocketSource.h"
#include "remote/ShareSource.h"
#include "remote/WinHttpSource.h"

namespace ornivel {

std::unique_ptr<RemoteSource> createRemoteSource(const std::wstring& type, const std::wstring& host,
                                                 const std::wstring& path, int port, const std::wstring& userName,
                                                 const std::wstring& password, const LogDriver& log) {
    std::wstring kind = type;
    for (wchar_t& c : kind) c = static_cast<wchar_t>(std::towlower(c));
    const auto port16 = static_cast<unsigned short>(port);

    if (kind == L"http") {
        auto combination = std::make_unique<RemoteSourceCombination>(log);
        combination->addSource(new RemoteSourceWININET(host, path, port16, log, false));
        combination->addSource(new RemoteSourceHTTP(host, path, port16, log, true));
        return combination;
    }
    // TLS only: the socket client speaks plain HTTP, and a server meant to be reached over
    // TLS must never be asked in clear text, whatever fails.
    if (kind == L"https") return std::make_unique<RemoteSourceWININET>(host, path, port16, log, true);
    if (kind == L"inet") return std::make_unique<RemoteSourceWININET>(host, path, port16, log, false);
    if (kind == L"net") return std::make_unique<RemoteSourceNET>(path, userName, password, log);
    return nullptr;
}

} // namespace ornivel
