#include <windows.h>

#include "jvm/HeapDumpWatchThread.h"
#include "launcher/StartUp.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int) {
    // The out-of-memory watcher is a static object that runs from static initialisation on.
    ornivel::linkOutOfMemoryWatcher();
    try {
        return ornivel::runLauncher(instance, commandLine ? commandLine : L"");
    } catch (...) {
        return 1;
    }
}
