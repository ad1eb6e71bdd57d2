// The empty program of the start-up figure with the launcher's own imports and resources
// (common controls 6 by its manifest): its start is what Wine spends on loading and
// initialising those libraries before the launcher's entry runs. Prints the wall-clock time
// of its entry like bench_start.
#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <olectl.h>
#include <shellapi.h>
#include <shlwapi.h>
#include <winhttp.h>
#include <winnetwk.h>

#include <cstdio>

namespace {

// One function of each library the launcher imports, so that each is loaded at start.
void* const volatile kImports[] = {
    reinterpret_cast<void*>(&InitCommonControls), reinterpret_cast<void*>(&CreateFontW),
    reinterpret_cast<void*>(&MessageBoxW),        reinterpret_cast<void*>(&RegOpenKeyExW),
    reinterpret_cast<void*>(&CoInitializeEx),     reinterpret_cast<void*>(&OleLoadPicture),
    reinterpret_cast<void*>(&ShellExecuteW),      reinterpret_cast<void*>(&PathRemoveFileSpecW),
    reinterpret_cast<void*>(&WinHttpOpen),        reinterpret_cast<void*>(&WSAStartup),
    reinterpret_cast<void*>(&WNetAddConnection2W),
};

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const unsigned long long ticks = (static_cast<unsigned long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    std::printf("%llu %d\n", (ticks - 116444736000000000ull) / 10, kImports[0] != nullptr);
    return 0;
}
