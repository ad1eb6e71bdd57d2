#pragma once
// A log driver: a source name and an ordered list of appenders it hands every message to.
// Drivers are values; copies share the appenders (which are never freed).
#include <string>
#include <vector>

#include "logdriver/LogAppender.h"
#include "logdriver/LogLevel.h"

namespace ornivel {

class LogDriver {
public:
    // Messages are formatted into a buffer of this many wide characters; longer ones are cut.
    static constexpr size_t kMessageCapacity = 16384;

    LogDriver();
    explicit LogDriver(const std::wstring& name);

    bool addAppender(CLogAppender* appender);

    // Formats with the Microsoft wide printf conventions ("%s" wide, "%S"/"%hs" 8-bit)
    // and hands the message to every appender in registration order. Calls from
    // different threads are serialised.
    bool log(int level, const wchar_t* format, ...);

    const std::wstring& name() const { return name_; }
    const std::vector<CLogAppender*>& appenders() const { return appenders_; }

    // Ends the driver: forgets its appenders (which stay alive).
    void end() { appenders_.clear(); }

    // Messages more severe than `level` are handed on at `level`: for a copy given to a part
    // whose failures its caller handles itself, so that they never reach the user as errors.
    void capSeverity(int level) { mostSevere_ = level; }

private:
    std::vector<CLogAppender*> appenders_;
    int mostSevere_ = LOG_FATAL;
    std::wstring name_;
};

// While an object of this class lives on a thread that holds the log lock, the lock is
// released; it is taken again on destruction. Used around modal message boxes, so that a
// box waiting for the user never blocks the logging of other threads.
class LogLockRelease {
public:
    LogLockRelease();
    ~LogLockRelease();
    LogLockRelease(const LogLockRelease&) = delete;
    LogLockRelease& operator=(const LogLockRelease&) = delete;

private:
    bool released_;
};

} // namespace ornivel
