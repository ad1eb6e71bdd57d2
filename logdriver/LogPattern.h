#pragma once
// Expansion of an appender's line pattern. Pure text work, no system calls.
#include <string>

namespace ornivel {

struct LogLineFields {
    std::wstring date;     // "DD.MM.YYYY"
    std::wstring time;     // "HH:MM:SS"
    std::wstring level;    // seven-character level word
    std::wstring source;   // the driver's name
    std::wstring message;
};

// Replaces, in this order and each only at its first occurrence in the current text,
// "%d", "%t", "%e", "%s" and "%m". Text inserted by an earlier step is visible to the
// later searches; the message, inserted last, is never searched.
std::wstring expandLogPattern(const std::wstring& pattern, const LogLineFields& fields);

std::wstring logDateText(int day, int month, int year);
std::wstring logTimeText(int hour, int minute, int second);

} // namespace ornivel
