#include <windows.h>

#include "launcher/StartUp.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int) {
    try {
        return ornivel::runLauncher(instance, commandLine ? commandLine : L"");
    } catch (...) {
        return 1;
    }
}
