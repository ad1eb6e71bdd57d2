#include "remote/SocketSource.h"

#include <algorithm>

#include "common/Text.h"
#include "logdriver/LastError.h"
#include "remote/PartialDownload.h"
#include "remote/ProxyDiscovery.h"
#include "remote/UrlEncode.h"

namespace ornivel {

RemoteSourceHTTP::RemoteSourceHTTP(const std::wstring& host, const std::wstring& path, unsigned short port,
                                   const LogDriver& log, bool dump)
    : RemoteSource(log),
      baseUrl_(L"http://" + host + L":" + std::to_wstring(port) + L"/" + path + L"/"),
      request_(log, dump) {
    log_.log(LOG_DEBUG, L"Using URL '%s' for sync.", baseUrl_.c_str());
    // The same way as every other request to this server.
    const std::wstring proxy = ProxyDiscovery::instance().decide(host, port, false, log_).proxy;
    if (!proxy.empty() && !request_.setProxy(proxy))
        log_.log(LOG_ERROR, L"The proxy '%s' is not HOST:PORT; requests go direct.", proxy.c_str());
}

bool RemoteSourceHTTP::fetch(std::wstring remoteName, std::wstring localPath, ProgressListener* listener,
                             NameBytes nameBytes) {
    if (!beginHttpDownload(remoteName, localPath)) return false;
    const std::string url = toAnsi(baseUrl_) + urlEncode(serverBytesOf(remoteName, nameBytes));
    PartialDownload partial(localPath);
    int status = 0;
    // A try that adds to what can be continued earns another one at once; kAttempts tries in a
    // row that do not end the failure.
    for (int stalled = 0; stalled < kAttempts;) {
        partial.prepare();
        const uint64_t before = partial.resumableSize();
        status = request_.getToFile(url, partial, listener);
        if (status == 200) return true;
        stalled = partial.resumableSize() > before ? 0 : stalled + 1;
    }
    const DWORD error = ::GetLastError();
    partial.keepForLater();
    ::SetLastError(error);
    log_.log(LOG_DEBUG, L"Download error. HTTP error code: %d, OS Error: %s", status, LastError(error).text().c_str());
    return false;
}

} // namespace ornivel
