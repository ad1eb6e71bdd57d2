#pragma once
// The log appender of the login dialog: a modal message box over the owner window for error
// and fatal messages.
#include <windows.h>

#include <string>

#include "logdriver/LogAppender.h"

namespace ornivel {

class CWindowLogAppender : public CLogAppender {
public:
    CWindowLogAppender(HWND owner, int threshold, const std::wstring& pattern);
    bool append(int level, const std::wstring& message) override;

private:
    HWND owner_;
};

} // namespace ornivel
