#include "Standin.h"

#include <cstdio>

namespace ornivel::test::standin {

namespace {

CRITICAL_SECTION& recordLock() {
    static CRITICAL_SECTION lock;
    static bool ready = (InitializeCriticalSection(&lock), true);
    (void)ready;
    return lock;
}

std::string escaped(const std::string& field) {
    std::string out;
    for (char c : field) {
        auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", u);
            out += hex;
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace

void record(const std::vector<std::string>& fields) {
    std::string line;
    for (size_t i = 0; i < fields.size(); ++i) line += (i ? "\t" : "") + escaped(fields[i]);
    line += "\r\n";
    EnterCriticalSection(&recordLock());
    HANDLE file = CreateFileA(kRecordFile, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
        CloseHandle(file);
    }
    LeaveCriticalSection(&recordLock());
}

void recordError(const std::string& what) { record({"error", what}); }

} // namespace ornivel::test::standin
