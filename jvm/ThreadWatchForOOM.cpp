#include "jvm/ThreadWatchForOOM.h"

#include "common/Text.h"

namespace ornivel {

ThreadWatchForOOM::ThreadWatchForOOM() : Thread(THREAD_PRIORITY_BELOW_NORMAL) {
    stopEvent_.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    DeleteFileW(heapDumpPath().c_str());
    watching_ = true;
    start();
}

ThreadWatchForOOM::~ThreadWatchForOOM() {
    watching_ = false;
    SetEvent(stopEvent_.get());
    waitForEnd(INFINITE);
}

std::wstring ThreadWatchForOOM::heapDumpPath() {
    wchar_t folder[MAX_PATH] = L"";
    DWORD length = GetCurrentDirectoryW(MAX_PATH, folder);
    if (length >= MAX_PATH) folder[0] = L'\0';
    return formatWide(L"%s\\java_pid%lu.hprof", folder, GetCurrentProcessId());
}

DWORD ThreadWatchForOOM::run() {
    while (watching_) {
        if (WaitForSingleObject(stopEvent_.get(), 1000) == WAIT_OBJECT_0) break;
        UniqueHandle dump(CreateFileW(heapDumpPath().c_str(), GENERIC_READ, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!dump) continue;
        dump.reset();
        MessageBoxW(nullptr, L"Ornivel has run out of memory. Press OK to terminate.", L"Out Of Memory", MB_OK);
        ExitProcess(0);
    }
    return 0;
}

} // namespace ornivel
