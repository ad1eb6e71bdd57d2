#include "sync/FleetReport.h"

#include <windows.h>
#include <winhttp.h>

#include "common/Text.h"
#include "logdriver/LastError.h"
#include "remote/ProxyDiscovery.h"
#include "remote/WinHttpHandle.h"

namespace ornivel {

FleetReport::FleetReport(const LogDriver& log) : log_(log) {}

FleetReport::~FleetReport() = default;

bool FleetReport::start(const std::string& versionCheckUrl, const FleetReportFields& fields) {
    const std::wstring url = fromAnsi(versionCheckUrl);
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof(parts);
    parts.dwHostNameLength = static_cast<DWORD>(-1);
    parts.dwUrlPathLength = static_cast<DWORD>(-1);
    if (!WinHttpCrackUrl(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts) || parts.dwHostNameLength == 0) {
        log_.log(LOG_DEBUG, L"The fleet report is not sent: the version-check URL '%S' cannot be used.",
                 versionCheckUrl.c_str());
        return false;
    }
    host_.assign(parts.lpszHostName, parts.dwHostNameLength);
    std::wstring path(parts.lpszUrlPath ? parts.lpszUrlPath : L"", parts.dwUrlPathLength);
    if (path.empty() || path.back() != L'/') path += L'/';
    objectName_ = path + fromAnsi(fleetReportTarget(fields));
    port_ = parts.nPort;
    secure_ = parts.nScheme == INTERNET_SCHEME_HTTPS;
    // The report goes the way every other request to that server goes.
    proxy_ = ProxyDiscovery::instance().decide(host_, port_, secure_, log_).proxy;
    startedAt_ = GetTickCount();
    if (!thread_.start(&FleetReport::run, this, kPriorityNormal)) {
        log_.log(LOG_DEBUG, L"The fleet report is not sent: no thread could be started.");
        return false;
    }
    return true;
}

uint32_t FleetReport::run(void* context) {
    auto* report = static_cast<FleetReport*>(context);
    report->send();
    report->done_.set();
    return 0;
}

void FleetReport::send() {
    // No log lines here: the run's thread logs on.
    WinHttpHandle session(openWinHttpSession(proxy_));
    if (!session) {
        error_ = GetLastError();
        return;
    }
    const int limit = static_cast<int>(kFleetReportLimitMs);
    WinHttpSetTimeouts(session.get(), limit, limit, limit, limit);
    WinHttpHandle connection(WinHttpConnect(session.get(), host_.c_str(), port_, 0));
    WinHttpHandle request(connection ? WinHttpOpenRequest(connection.get(), L"GET", objectName_.c_str(), nullptr,
                                                          WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                                          WINHTTP_FLAG_REFRESH | (secure_ ? WINHTTP_FLAG_SECURE : 0))
                                     : nullptr);
    DWORD status = 0, size = sizeof status;
    if (!request || !WinHttpSendRequest(request.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
        !WinHttpReceiveResponse(request.get(), nullptr) ||
        !WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX)) {
        error_ = GetLastError();
        return;
    }
    status_ = static_cast<int>(status);
}

void FleetReport::finish() {
    if (!thread_.joinable()) return;
    const uint32_t spent = GetTickCount() - startedAt_;
    const bool ended = done_.wait(spent >= kFleetReportLimitMs ? 0 : kFleetReportLimitMs - spent);
    if (!ended) {
        log_.log(LOG_DEBUG, L"The fleet report did not finish within %u ms; it is left.",
                 static_cast<unsigned>(kFleetReportLimitMs));
        return;
    }
    thread_.wait();
    if (status_ >= 200 && status_ <= 299)
        log_.log(LOG_DEBUG, L"Fleet report sent (status %d).", status_);
    else
        log_.log(LOG_DEBUG, L"The fleet report was not taken (status %d, %s).", status_, LastError(error_).text().c_str());
}

} // namespace ornivel
