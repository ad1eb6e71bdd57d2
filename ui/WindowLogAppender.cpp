#include "ui/WindowLogAppender.h"

#include "logdriver/LogDriver.h"

namespace ornivel {

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
