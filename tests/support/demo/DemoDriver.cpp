// demo_driver INSTALLATION SCREENSHOTS: starts INSTALLATION\ornivel.exe, waits for the
// update progress, logs in on the form, waits for the client's window, closes it, and saves
// a screenshot of each phase into SCREENSHOTS. Its exit code is the launcher's.
#include <windows.h>
#include <cstdio>
#include <string>

#include "tests/support/windows/ChildProcess.h"
#include "tests/support/windows/Screenshot.h"
#include "tests/support/windows/WindowDriver.h"

using namespace ornivel::test;

namespace {

constexpr int kUserId = 1003, kPassword = 1004, kStatus = 1017, kLogin = 1;

void say(const std::wstring& text) {
    std::string line(text.begin(), text.end());
    std::printf("demo: %s\n", line.c_str());
    std::fflush(stdout);
}

void shoot(const std::wstring& folder, const std::wstring& name) {
    std::wstring path = folder + L"\\" + name + L".png";
    say(saveScreenshot(nullptr, path) ? L"screenshot " + path : L"could not save " + path);
}

// A message box of the launcher (a failed update, for instance) ends the demo.
bool reportMessageBox(DWORD pid) {
    HWND box = findWindow({L"#32770", L"Error", pid, nullptr, true});
    if (!box) return false;
    say(L"the launcher reports: " + messageBoxText(box));
    return true;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        say(L"usage: demo_driver INSTALLATION SCREENSHOTS");
        return 2;
    }
    const std::wstring installation = argv[1], screenshots = argv[2];
    ChildProcess launcher(installation + L"\\ornivel.exe", L"", installation);
    if (!launcher.started()) {
        say(L"could not start the launcher");
        return 2;
    }
    const DWORD pid = launcher.id();
    HWND dialog = waitForWindow({L"#32770", L"ornivel", pid, nullptr, true}, 30000);
    if (!dialog) dialog = waitForWindow({L"#32770", L"", pid, nullptr, true}, 5000);
    if (!dialog) {
        say(L"the login dialog did not appear");
        return 2;
    }
    say(L"the dialog shows the update");
    // "Loading file 3 of 12..." once the downloads run (the template's placeholder reads differently).
    waitUntil([&] { return controlText(dialog, kStatus).find(L" of ") != std::wstring::npos || controlVisible(dialog, kUserId); },
              60000);
    Sleep(600);
    shoot(screenshots, L"demo-1-progress");

    if (!waitUntil([&] { return controlVisible(dialog, kUserId) || reportMessageBox(pid); }, 120000) ||
        !controlVisible(dialog, kUserId)) {
        shoot(screenshots, L"demo-1-failure");
        return 2;
    }
    Sleep(300);
    setControlText(dialog, kUserId, L"demo.user");
    setControlText(dialog, kPassword, L"demo");
    shoot(screenshots, L"demo-2-login-form");
    say(L"logging in as demo.user");
    clickButton(dialog, kLogin);

    HWND client = waitForWindow({L"", L"ornivel client (stand-in)", pid, nullptr, true}, 60000);
    if (!client) {
        shoot(screenshots, L"demo-3-no-client");
        say(L"the client window did not appear");
        return 2;
    }
    // The login dialog hides itself once it has seen the client's window, and goes once
    // the login has been handed over; give the display a moment to follow.
    waitUntil([&] { return !IsWindowVisible(dialog); }, 10000);
    Sleep(3000);
    shoot(screenshots, L"demo-3-client");
    say(L"the client runs; closing its window");
    PostMessageW(client, WM_CLOSE, 0, 0);

    DWORD exitCode = 0;
    if (!launcher.waitForExit(60000, exitCode)) {
        say(L"the launcher did not end");
        return 2;
    }
    say(L"the launcher ended with " + std::to_wstring(static_cast<int>(exitCode)));
    return static_cast<int>(exitCode);
}
