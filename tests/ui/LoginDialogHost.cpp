// Test-only program: hosts a login dialog the way the launcher does, so that tests can
// watch how the process ends. Arguments: "progress" (the synchronisation display, for a
// minute) or "login" (the login form; exit status 1 after Login).
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <cstdlib>
#include <string>

#include "ui/CDialogLogin.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int) {
    using namespace ornivel;
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    InitCommonControls();
    const std::wstring mode = commandLine ? commandLine : L"";
    auto* dialog = new CDialogLogin(instance, nullptr);
    if (mode.find(L"progress") != std::wstring::npos) {
        const int phase = PHASE_LOADING_FILES, current = 3, total = 40, percent = 55, extra = 0;
        dialog->progress(&phase, L"module/client.jar", &current, &total, &percent, &extra);
        Sleep(60000);
        delete dialog;
        return 3;
    }
    std::vector<ServerInfo> servers{ServerInfo(L"srv01", 8080, L"Production", -1)};
    if (!dialog->waitForLogin(servers)) {
        delete dialog;
        std::exit(-1);
    }
    delete dialog;
    return 1;
}
