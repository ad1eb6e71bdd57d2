#include "remote/RemoteSourceHTTP.h"

#include <algorithm>

#include "common/Text.h"
#include "logdriver/LastError.h"
#include "remote/UrlEncode.h"

namespace ornivel {

RemoteSourceHTTP::RemoteSourceHTTP(const std::wstring& host, const std::wstring& path, unsigned short port,
                                   const LogDriver& log, bool dump)
    : RemoteSource(log),
      baseUrl_(L"http://" + host + L":" + std::to_wstring(port) + L"/" + path + L"/"),
      request_(log, dump) {
    log_.log(LOG_DEBUG, L"Using URL '%s' for sync.", baseUrl_.c_str());
}

bool RemoteSourceHTTP::fetch(std::wstring remoteName, std::wstring localPath, ProgressListener* listener) {
    if (!beginHttpDownload(remoteName, localPath)) return false;
    const std::string url = toAnsi(baseUrl_) + urlEncode(toUtf8(remoteName));
    int status = 0;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        status = request_.getToFile(url, partialPath(localPath), listener);
        if (status == 200) return true;
    }
    log_.log(LOG_DEBUG, L"Download error. HTTP error code: %d, OS Error: %s", status, LastError().text().c_str());
    return false;
}

} // namespace ornivel
