#pragma once
// Shared pieces of the remote-source tests.
#include <string>
#include <vector>

#include "logdriver/LogDriver.h"
#include "remote/ProgressListener.h"
#include "tests/support/TestSupport.h"

namespace ornivel::test {

// Records every report; `percents` holds the percent arguments of percent-only reports.
class RecordingListener : public ProgressListener {
public:
    void progress(const int* phase, const wchar_t* text, const int* current, const int* total, const int* percent,
                  const int* extra) override {
        ++calls;
        if (phase || text || current || total || extra || !percent) ++otherReports;
        if (percent) percents.push_back(*percent);
    }
    int calls = 0;
    int otherReports = 0;
    std::vector<int> percents;
};

// A log driver whose messages are captured.
struct CapturedLog {
    CapturedLog() : log(L"test") { log.addAppender(&appender); }
    CapturingAppender appender;
    LogDriver log;
};

} // namespace ornivel::test

#include "tests/support/httpserver/TestHttpServer.h"

namespace ornivel::test {

// One test server for the whole test program; it ends with the program.
inline TestHttpServer& sharedServer() {
    static TestHttpServer server;
    return server;
}

// Messages of one level that start with `prefix`.
inline size_t countPrefix(const CapturingAppender& appender, int level, const std::wstring& prefix) {
    size_t n = 0;
    for (const auto& m : appender.messages) {
        if (m.first == level && m.second.compare(0, prefix.size(), prefix) == 0) ++n;
    }
    return n;
}

inline size_t countLevel(const CapturingAppender& appender, int level) {
    size_t n = 0;
    for (const auto& m : appender.messages) n += m.first == level;
    return n;
}

} // namespace ornivel::test
