#pragma once
// Watches the working folder for the heap dump the Java runtime writes for this process
// when its heap runs out; tells the user and ends the process.
#include <atomic>
#include <functional>
#include <string>

#include "common/Event.h"
#include "common/Thread.h"

namespace ornivel {

// What the program does once the heap dump is there: the message "Ornivel has run out of
// memory. Press OK to terminate." in a box with an OK button, then the process ends at once
// with status 0 (without a window system, the message goes to the debugger output).
void reportOutOfMemoryAndEnd();

class ThreadWatchForOOM : public Thread {
public:
    // Deletes a leftover dump of this process id and starts watching. `onHeapDump` is what
    // happens when the dump appears; should it return, the watch ends.
    explicit ThreadWatchForOOM(std::function<void()> onHeapDump = reportOutOfMemoryAndEnd);
    // Stops the watch; returns once the thread has ended.
    ~ThreadWatchForOOM() override;

    // "<working folder>\java_pid<process id>.hprof".
    static std::wstring heapDumpPath();

protected:
    uint32_t run() override;

private:
    std::function<void()> onHeapDump_;
    std::atomic<bool> watching_{false};
    // Wakes the thread at once when the watch stops.
    Event stopEvent_{Event::Reset::Manual};
};

// Makes sure the program's one watcher, a static object started during static
// initialisation, is linked into the executable.
void linkOutOfMemoryWatcher();

} // namespace ornivel
