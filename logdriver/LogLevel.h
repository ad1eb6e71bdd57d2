#pragma once
// Log levels, compared numerically, and the seven-character words written for them.

namespace ornivel {

enum LogLevel : int {
    LOG_DEBUG = 100,
    LOG_INFO = 200,
    LOG_WARNING = 300,
    LOG_ERROR = 400,
    LOG_FATAL = 500,
};

// "debug  ", "info   ", "warning", "error  ", "fatal  ", or "unknown" for any other value.
const wchar_t* levelWord(int level);

} // namespace ornivel
