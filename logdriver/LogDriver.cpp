#include "logdriver/LogDriver.h"

#include <windows.h>
#include <cstdarg>

#include "common/Text.h"

namespace ornivel {

namespace {

// The one lock of the logging facility. A critical section constructed on first use works
// from static initialisation on (the out-of-memory watcher starts before the entry).
CRITICAL_SECTION& logLock() {
    static CRITICAL_SECTION* lock = [] {
        auto* cs = new CRITICAL_SECTION;
        InitializeCriticalSection(cs);
        return cs;
    }();
    return *lock;
}

thread_local int lockDepth = 0;

struct LogLockGuard {
    LogLockGuard() { EnterCriticalSection(&logLock()); ++lockDepth; }
    ~LogLockGuard() { --lockDepth; LeaveCriticalSection(&logLock()); }
};

wchar_t messageBuffer[LogDriver::kMessageCapacity];

const wchar_t* defaultName() { return L"" __FILE__; }

} // namespace

LogLockRelease::LogLockRelease() : released_(lockDepth > 0) {
    if (released_) LeaveCriticalSection(&logLock());
}

LogLockRelease::~LogLockRelease() {
    if (released_) EnterCriticalSection(&logLock());
}

LogDriver::LogDriver() : name_(defaultName()) {}

LogDriver::LogDriver(const std::wstring& name) : name_(name.empty() ? defaultName() : name) {}

bool LogDriver::addAppender(CLogAppender* appender) {
    appender->setSource(name_);
    appenders_.push_back(appender);
    return true;
}

bool LogDriver::log(int level, const wchar_t* format, ...) {
    LogLockGuard guard;
    va_list args;
    va_start(args, format);
    vformatWideBounded(messageBuffer, kMessageCapacity, format, args);
    va_end(args);
    for (CLogAppender* appender : appenders_) {
        if (!appender->append(level, std::wstring(messageBuffer))) return false;
    }
    return true;
}

} // namespace ornivel
