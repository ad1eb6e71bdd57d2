#pragma once
// Watches the working folder for the heap dump the Java runtime writes for this process
// when its heap runs out; tells the user and ends the process.
#include <atomic>
#include <string>

#include "common/Handles.h"
#include "jvm/Thread.h"

namespace ornivel {

class ThreadWatchForOOM : public Thread {
public:
    // Deletes a leftover dump of this process id and starts watching.
    ThreadWatchForOOM();
    // Stops the watch; returns once the thread has ended.
    ~ThreadWatchForOOM() override;

    // "<working folder>\java_pid<process id>.hprof".
    static std::wstring heapDumpPath();

protected:
    DWORD run() override;

private:
    std::atomic<bool> watching_{false};
    // Wakes the thread at once when the watch stops.
    UniqueHandle stopEvent_;
};

// Makes sure the program's one watcher, a static object started during static
// initialisation, is linked into the executable.
void linkOutOfMemoryWatcher();

} // namespace ornivel
