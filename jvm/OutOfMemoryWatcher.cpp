// The program's one out-of-memory watcher. It lives in a file of its own: only programs
// that call linkOutOfMemoryWatcher (the launcher) carry it, and with it a running watcher.
#include "jvm/HeapDumpWatchThread.h"

namespace ornivel {

namespace {
ThreadWatchForOOM watcher;
}

void linkOutOfMemoryWatcher() {}

} // namespace ornivel
