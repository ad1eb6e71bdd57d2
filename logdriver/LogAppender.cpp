#include "logdriver/LogAppender.h"

#include "common/DebugOutput.h"
#include "common/FileAccess.h"
#include "common/LocalTime.h"
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
    const LocalTime now = localTimeNow();
    LogLineFields fields{logDateText(now.day, now.month, now.year), logTimeText(now.hour, now.minute, now.second),
                         levelWord(level), source_, message};
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
        debugOutput(buffer);
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
      stream_(openSharedFile(fileName, L"w")) {
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

} // namespace ornivel
