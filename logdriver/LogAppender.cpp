#include "logdriver/LogAppender.h"

#include <share.h>

#include "common/Text.h"
#include "logdriver/LogDriver.h"
#include "logdriver/LogPattern.h"

namespace ornivel {

CLogAppender::CLogAppender(int threshold, const std::wstring& pattern)
    : threshold_(threshold), pattern_(pattern) {}

bool CLogAppender::setSource(const std::wstring& source) {
    source_ = source;
    return true;
}

bool CLogAppender::formatLine(int level, const std::wstring& message, std::wstring& line) const {
    SYSTEMTIME now;
    GetLocalTime(&now);
    LogLineFields fields{logDateText(now.wDay, now.wMonth, now.wYear),
                         logTimeText(now.wHour, now.wMinute, now.wSecond), levelWord(level), source_,
                         message};
    line = expandLogPattern(pattern_, fields);
    return true;
}

CConsoleLogAppender::CConsoleLogAppender(bool toDebugger, int threshold, const std::wstring& pattern)
    : CLogAppender(threshold, pattern), toDebugger_(toDebugger) {}

bool CConsoleLogAppender::append(int level, const std::wstring& message) {
    if (!wanted(level)) return true;
    std::wstring line;
    formatLine(level, message, line);
    if (toDebugger_) {
        static constexpr size_t kCapacity = 20480;
        static thread_local wchar_t buffer[kCapacity];
        size_t n = line.size() < kCapacity - 3 ? line.size() : kCapacity - 3;
        line.copy(buffer, n);
        buffer[n] = L'\r';
        buffer[n + 1] = L'\n';
        buffer[n + 2] = L'\0';
        OutputDebugStringW(buffer);
    } else {
        std::string text = toAnsi(line);
        text += "\r\n";
        fwrite(text.data(), 1, text.size(), stdout);
        fflush(stdout);
    }
    return true;
}

CFileLogAppender::CFileLogAppender(int threshold, const std::wstring& fileName, const std::wstring& pattern)
    : CLogAppender(threshold, pattern),
      stream_(_fsopen(toAnsi(fileName).c_str(), "w", _SH_DENYNO)) {
    if (stream_) setvbuf(stream_, nullptr, _IONBF, 0);
}

bool CFileLogAppender::append(int level, const std::wstring& message) {
    if (!wanted(level) || !stream_) return true;
    std::wstring line;
    formatLine(level, message, line);
    std::string text = toAnsi(line);
    text += '\n';
    fwrite(text.data(), 1, text.size(), stream_);
    fflush(stream_);
    return true;
}

CWindowLogAppender::CWindowLogAppender(HWND owner, int threshold, const std::wstring& pattern)
    : CLogAppender(threshold, pattern), owner_(owner) {}

bool CWindowLogAppender::append(int level, const std::wstring& message) {
    if (!wanted(level)) return true;
    std::wstring line;
    formatLine(level, message, line);
    if (level == LOG_ERROR || level == LOG_FATAL) {
        LogLockRelease release;
        MessageBoxW(owner_, message.c_str(), L"Error", MB_OK | MB_ICONERROR);
    }
    return true;
}

} // namespace ornivel
