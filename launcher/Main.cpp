#include <windows.h>

#include "common/Guarded.h"
#include "common/Process.h"
#include "jvm/HeapDumpWatchThread.h"
#include "launcher/StartUp.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int) {
    // The out-of-memory watcher is a static object that runs from static initialisation on.
    ornivel::linkOutOfMemoryWatcher();
    const int status = ornivel::guarded("the launcher's main thread", 1, [&] {
        return ornivel::runLauncher(instance, commandLine ? commandLine : L"");
    });
    // Ends like every other exit of the program, so that an exit elsewhere at the same time
    // (a Cancel on the dialog thread) makes one end, not two.
    ornivel::endProcessOnce(status);
}
