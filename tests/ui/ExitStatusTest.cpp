// How the process ends when the user leaves the login dialog, and the company chooser of the
// real launcher. Each case runs a program of its own and drives its windows from here.
#include <gtest/gtest.h>

#include <thread>

#include "res/resource.h"
#include "tests/support/windows/ChildProcess.h"
#include "tests/support/windows/Screenshot.h"
#include "tests/support/windows/WindowDriver.h"
#include "tests/ui/UiTestSupport.h"

namespace ornivel {
namespace {

using namespace test;

constexpr DWORD kExitWaitMs = 15000;

HWND dialogOf(const ChildProcess& child) {
    WindowQuery query;
    query.className = L"#32770";
    query.processId = child.id();
    return waitForWindow(query, 20000);
}

int exitStatus(ChildProcess& child) {
    DWORD code = 0;
    if (!child.waitForExit(kExitWaitMs, code)) return 1000;
    return static_cast<int>(code);
}

class LoginExitTest : public ::testing::Test {
protected:
    TempFolder folder{L"exit"};
};

TEST_F(LoginExitTest, CancelInTheLoginFormEndsWithMinusOne) {
    ChildProcess host(loginHostExe(), L"login", folder.path());
    ASSERT_TRUE(host.started());
    HWND dialog = dialogOf(host);
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(waitUntil([&] { return controlVisible(dialog, IDC_LOGIN_CANCEL); }));
    clickButton(dialog, IDC_LOGIN_CANCEL);
    EXPECT_EQ(exitStatus(host), -1);
}

TEST_F(LoginExitTest, EscapeInTheLoginFormEndsWithMinusOne) {
    ChildProcess host(loginHostExe(), L"login", folder.path());
    HWND dialog = dialogOf(host);
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(waitUntil([&] { return controlVisible(dialog, IDC_USER_ID); }));
    SetForegroundWindow(dialog);
    PostMessageW(GetDlgItem(dialog, IDC_USER_ID), WM_KEYDOWN, VK_ESCAPE, 1);
    EXPECT_EQ(exitStatus(host), -1);
}

TEST_F(LoginExitTest, CloseBoxInTheLoginFormEndsWithMinusOne) {
    ChildProcess host(loginHostExe(), L"login", folder.path());
    HWND dialog = dialogOf(host);
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(waitUntil([&] { return controlVisible(dialog, IDC_USER_ID); }));
    PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(exitStatus(host), -1);
}

TEST_F(LoginExitTest, AltF4WhileSynchronisingEndsWithMinusOne) {
    ChildProcess host(loginHostExe(), L"progress", folder.path());
    HWND dialog = dialogOf(host);
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(waitUntil([&] { return controlText(dialog, IDC_STATUS_TEXT) == L"Loading file 3 of 40..."; }));
    EXPECT_FALSE(controlVisible(dialog, IDC_LOGIN_CANCEL));
    pressAltF4(dialog);
    EXPECT_EQ(exitStatus(host), -1);
}

TEST_F(LoginExitTest, LoginEndsTheWaitWithoutEndingTheProcess) {
    ChildProcess host(loginHostExe(), L"login", folder.path());
    HWND dialog = dialogOf(host);
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(waitUntil([&] { return controlVisible(dialog, IDC_USER_ID); }));  // filled before it appears
    setControlText(dialog, IDC_USER_ID, L"anna");
    clickButton(dialog, IDC_LOGIN_OK);
    EXPECT_EQ(exitStatus(host), 1);
}

// The launcher in a folder that offers two companies and is bound to no server.
TEST(LauncherChooser, AClickSetsUpTheCompanyFolderAndStartsTheCopyThere) {
    TempFolder folder(L"companies");
    folder.write(L"ornivel.ini",
                 "[Company]\r\nCompany1=A$Company A$srv-a.invalid/client\r\nCompany2=B$Company B$srv-b.invalid/client\r\n"
                 "[DisplayCompany]\r\nDIZ=A$B\r\n");
    LauncherRun run(folder);
    const std::wstring exe = run.installLauncher();
    ChildProcess launcher(exe, L"", folder.path());
    ASSERT_TRUE(launcher.started());

    WindowQuery query;
    query.className = L"ChooseCompany";
    query.processId = launcher.id();
    HWND chooser = waitForWindow(query, 20000);
    ASSERT_NE(chooser, nullptr);
    std::vector<HWND> buttons = childWindows(chooser);
    ASSERT_EQ(buttons.size(), 2u);
    EXPECT_EQ(windowText(buttons[0]), L"Company A");
    EXPECT_EQ(windowText(buttons[1]), L"Company B");
    RECT first{}, second{};
    GetWindowRect(buttons[0], &first);
    GetWindowRect(buttons[1], &second);
    EXPECT_EQ(first.right - first.left, second.right - second.left);
    Sleep(300);
    saveScreenshot(chooser, screenshotPath(L"launcher-chooser"));

    PostMessageW(chooser, WM_COMMAND, MAKEWPARAM(1, BN_CLICKED), reinterpret_cast<LPARAM>(buttons[1]));
    DWORD code = 0;
    ASSERT_TRUE(launcher.waitForExit(kExitWaitMs, code));
    EXPECT_EQ(code, 1u);

    EXPECT_FALSE(folder.exists(L"A"));
    EXPECT_EQ(folder.read(L"B\\ornivel.exe"), readFileBytes(exe));
    EXPECT_EQ(folder.read(L"B\\ornivel-Server.dat"), "http://srv-b.invalid/client/");
    // The copy runs in its folder: its normal start creates the log there.
    EXPECT_TRUE(waitUntil([&] { return folder.exists(L"B\\log\\launcher.log"); }, 20000));
    terminateProcessesOf(folder / L"B\\ornivel.exe");
}

} // namespace
} // namespace ornivel
