#include "jvm/HeapDumpWatchThread.h"

#include <utility>

#include "common/FileAccess.h"
#include "common/Process.h"
#include "common/Text.h"

namespace ornivel {

ThreadWatchForOOM::ThreadWatchForOOM(std::function<void()> onHeapDump)
    : Thread(kPriorityBelowNormal), onHeapDump_(std::move(onHeapDump)) {
    deleteFile(heapDumpPath());
    watching_ = true;
    start();
}

ThreadWatchForOOM::~ThreadWatchForOOM() {
    watching_ = false;
    stopEvent_.set();
    waitForEnd(kWaitForever);
}

std::wstring ThreadWatchForOOM::heapDumpPath() {
    return currentFolder() + L"java_pid" + std::to_wstring(currentProcessId()) + L".hprof";
}

uint32_t ThreadWatchForOOM::run() {
    while (watching_) {
        if (stopEvent_.wait(1000)) break;
        // The runtime may still be writing the dump; it is enough that it can be opened.
        if (!canOpenForReading(heapDumpPath(), false, true)) continue;
        onHeapDump_();
        break;
    }
    return 0;
}

} // namespace ornivel
