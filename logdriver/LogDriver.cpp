#include "logdriver/LogDriver.h"

#include <cstdarg>

#include "common/Lock.h"
#include "common/Text.h"

namespace ornivel {

namespace {

// The one lock of the logging facility. A lock constructed on first use (and never
// destroyed) works from static initialisation on (the out-of-memory watcher starts before
// the entry) until the very end of the process.
Lock& logLock() {
    static Lock* lock = new Lock;
    return *lock;
}

thread_local int lockDepth = 0;

struct LogLockGuard {
    LogLockGuard() { logLock().enter(); ++lockDepth; }
    ~LogLockGuard() { --lockDepth; logLock().leave(); }
};

wchar_t messageBuffer[LogDriver::kMessageCapacity];

const wchar_t* defaultName() { return L"" __FILE__; }

} // namespace

LogLockRelease::LogLockRelease() : released_(lockDepth > 0) {
    if (released_) logLock().leave();
}

LogLockRelease::~LogLockRelease() {
    if (released_) logLock().enter();
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
    const std::wstring message(messageBuffer);
    const int handed = level > mostSevere_ ? mostSevere_ : level;
    for (CLogAppender* appender : appenders_) {
        if (!appender->append(handed, message)) return false;
    }
    return true;
}

} // namespace ornivel
