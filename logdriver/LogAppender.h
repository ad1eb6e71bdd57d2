#pragma once
// Appenders write a log message somewhere when its level reaches their threshold.
#include <cstdio>
#include <string>

namespace ornivel {

class CLogAppender {
public:
    CLogAppender(int threshold, const std::wstring& pattern);
    virtual ~CLogAppender() = default;

    bool setSource(const std::wstring& source);
    const std::wstring& source() const { return source_; }
    int threshold() const { return threshold_; }

    // Expands the pattern for one message with the current local time; always true.
    bool formatLine(int level, const std::wstring& message, std::wstring& line) const;

    // Writes the message if the level reaches the threshold; true in every case.
    virtual bool append(int level, const std::wstring& message) = 0;

protected:
    bool wanted(int level) const { return level >= threshold_; }

private:
    int threshold_;
    std::wstring pattern_;
    std::wstring source_ = L"unknown";
};

// Debugger output (OutputDebugStringW) or the process's standard output.
class CConsoleLogAppender : public CLogAppender {
public:
    CConsoleLogAppender(bool toDebugger, int threshold, const std::wstring& pattern);
    bool append(int level, const std::wstring& message) override;

private:
    bool toDebugger_;
};

// A text file in the ANSI code page, created anew at construction, shared for reading and
// writing by other processes, and flushed after every line. Never closed by the program.
class CFileLogAppender : public CLogAppender {
public:
    CFileLogAppender(int threshold, const std::wstring& fileName, const std::wstring& pattern);
    bool append(int level, const std::wstring& message) override;

private:
    FILE* stream_;
};

} // namespace ornivel
