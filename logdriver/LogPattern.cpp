#include "logdriver/LogPattern.h"
#include "logdriver/LogLevel.h"

namespace ornivel {

const wchar_t* levelWord(int level) {
    switch (level) {
    case LOG_DEBUG: return L"debug  ";
    case LOG_INFO: return L"info   ";
    case LOG_WARNING: return L"warning";
    case LOG_ERROR: return L"error  ";
    case LOG_FATAL: return L"fatal  ";
    default: return L"unknown";
    }
}

namespace {
void replaceFirst(std::wstring& text, const wchar_t* placeholder, const std::wstring& value) {
    size_t at = text.find(placeholder);
    if (at != std::wstring::npos) text.replace(at, 2, value);
}

std::wstring twoDigits(int value) {
    std::wstring s;
    if (value < 10 && value >= 0) s += L'0';
    s += std::to_wstring(value);
    return s;
}
} // namespace

std::wstring expandLogPattern(const std::wstring& pattern, const LogLineFields& fields) {
    std::wstring line = pattern;
    replaceFirst(line, L"%d", fields.date);
    replaceFirst(line, L"%t", fields.time);
    replaceFirst(line, L"%e", fields.level);
    replaceFirst(line, L"%s", fields.source);
    replaceFirst(line, L"%m", fields.message);
    return line;
}

std::wstring logDateText(int day, int month, int year) {
    std::wstring y = std::to_wstring(year);
    while (y.size() < 4) y.insert(y.begin(), L'0');
    return twoDigits(day) + L'.' + twoDigits(month) + L'.' + y;
}

std::wstring logTimeText(int hour, int minute, int second) {
    return twoDigits(hour) + L':' + twoDigits(minute) + L':' + twoDigits(second);
}

} // namespace ornivel
