#pragma once
// Sends the fleet report of a run to a deployment that asks for reports: one GET of the
// version-check URL followed by "/report?...", on a thread of its own and within
// kFleetReportLimitMs, so it never delays the client. Its outcome reaches the log at debug
// level only, and only when it is waited for (log lines of two threads must not overlap).
#include <cstdint>
#include <string>

#include "common/Event.h"
#include "common/SystemThread.h"
#include "logdriver/LogDriver.h"
#include "sync/UpdateResult.h"

namespace ornivel {

constexpr uint32_t kFleetReportLimitMs = 2000;

class FleetReport {
public:
    explicit FleetReport(const LogDriver& log);
    // The thread must have ended: a report that is not waited for lives as long as the process.
    ~FleetReport();
    FleetReport(const FleetReport&) = delete;
    FleetReport& operator=(const FleetReport&) = delete;

    // Starts sending; false (logged at debug) when the URL cannot be used or no thread starts.
    bool start(const std::string& versionCheckUrl, const FleetReportFields& fields);
    // Waits for the end of the sending, at most until the limit since start() has passed, and
    // logs its outcome at debug level.
    void finish();

private:
    static uint32_t run(void* context);
    void send();

    LogDriver log_;
    std::wstring host_;
    std::wstring objectName_;
    unsigned short port_ = 0;
    bool secure_ = false;
    std::wstring proxy_;  // "HOST:PORT", empty: direct
    uint32_t startedAt_ = 0;
    SystemThread thread_;
    Event done_{Event::Reset::Manual};
    // Written by the sending thread before done_ is set.
    int status_ = 0;
    unsigned long error_ = 0;
};

} // namespace ornivel
