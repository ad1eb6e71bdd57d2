#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <atomic>
#include <thread>

#include "common/Text.h"
#include "res/resource.h"
#include "tests/support/windows/WindowDriver.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/CDialogLogin.h"
#include "config/PasswordScrambling.h"
#include "config/StoredValues.h"

namespace ornivel {
namespace {

using namespace test;

const std::vector<int> kFormControls{IDC_SERVER_LIST, IDC_REQUEST_PASSWORD_LINK, IDC_PASSWORD, IDC_USER_ID,
                                     IDC_SERVER_LABEL, IDC_USER_ID_LABEL, IDC_PASSWORD_LABEL, IDC_LOGIN_OK,
                                     IDC_LOGIN_CANCEL, IDC_SAVE_PASSWORD, IDC_SAVE_PASSWORD_LABEL};
const std::vector<int> kProgressControls{IDC_PROGRESS_BAR, IDC_STATUS_TEXT, IDC_UPDATING_TEXT, IDC_DETAIL_TEXT};

void report(CDialogLogin& dialog, int phase, const wchar_t* text, int current, int total, int percent) {
    const int extra = 0;
    dialog.progress(&phase, text, &current, &total, &percent, &extra);
}

// The dialog thread takes reported states in order with messages sent to it: once a message
// sent after a report has returned, the report is on the screen.
void settle(HWND dialog) { SendMessageW(dialog, WM_NULL, 0, 0); }

bool marqueeStyle(HWND dialog) {
    return (GetWindowLongPtrW(GetDlgItem(dialog, IDC_PROGRESS_BAR), GWL_STYLE) & PBS_MARQUEE) != 0;
}

// Counts WM_SETTEXT messages that reach a control (on whatever thread owns it); with `hold`
// set, the first one waits until `release` is signalled.
struct SetTextCounter {
    static std::atomic<int> count;
    static WNDPROC previous;
    static HANDLE release;
    static LRESULT CALLBACK procedure(HWND w, UINT m, WPARAM wp, LPARAM lp) {
        if (m == WM_SETTEXT && ++count == 1 && release) WaitForSingleObject(release, 10000);
        return CallWindowProcW(previous, w, m, wp, lp);
    }
    explicit SetTextCounter(HWND control, HANDLE hold = nullptr) : control_(control) {
        count = 0;
        release = hold;
        previous = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(procedure)));
    }
    ~SetTextCounter() {
        SetWindowLongPtrW(control_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
        release = nullptr;
    }
    HWND control_;
};
std::atomic<int> SetTextCounter::count{0};
WNDPROC SetTextCounter::previous = nullptr;
HANDLE SetTextCounter::release = nullptr;

class LoginDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        initUi();
        installPicture(folder);
    }
    void TearDown() override {
        for (const wchar_t* prefix : {kLastUserPrefix, kPasswordPrefix, kLastServerPrefix, kZolpLastUserPrefix})
            deleteRegistryKey(key(prefix));
    }
    std::wstring key(const wchar_t* prefix) const { return std::wstring(prefix) + installationName(); }

    // Runs waitForLogin on a thread of its own until the form is shown.
    void startLogin(CDialogLogin& dialog, std::vector<ServerInfo> servers) {
        loginResult = -1;
        waiter = std::thread([this, &dialog, servers] { loginResult = dialog.waitForLogin(servers) ? 1 : 0; });
        // The form is filled before its fields appear; wait until all of them have appeared
        // and the progress display has gone.
        ASSERT_TRUE(waitUntil([&] {
            for (int id : kFormControls)
                if (!controlVisible(dialog.window(), id)) return false;
            for (int id : kProgressControls)
                if (controlVisible(dialog.window(), id)) return false;
            return true;
        }));
    }
    bool finishLogin(CDialogLogin& dialog) {
        clickButton(dialog.window(), IDC_LOGIN_OK);
        waiter.join();
        return loginResult == 1;
    }
    void selectServer(HWND dialog, int index) {
        SendMessageW(GetDlgItem(dialog, IDC_SERVER_LIST), CB_SETCURSEL, index, 0);
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_SERVER_LIST, CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_SERVER_LIST)));
    }
    bool checked(HWND dialog) { return SendMessageW(GetDlgItem(dialog, IDC_SAVE_PASSWORD), BM_GETCHECK, 0, 0) == BST_CHECKED; }

    TempFolder folder{L"login"};
    WorkingFolder working{folder.path()};
    std::thread waiter;
    std::atomic<int> loginResult{-1};
};

TEST_F(LoginDialogTest, ProgressPhaseShowsBarAndTextsOverThePicture) {
    CDialogLogin dialog(GetModuleHandleW(nullptr), nullptr);
    HWND w = dialog.window();
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(IsWindowVisible(w));
    EXPECT_EQ(windowText(w), L"Login");
    RECT client{};
    GetClientRect(w, &client);
    EXPECT_EQ(client.right, 715);
    EXPECT_EQ(client.bottom, 550);
    for (int id : kProgressControls) EXPECT_TRUE(controlVisible(w, id)) << id;
    for (int id : kFormControls) EXPECT_FALSE(controlVisible(w, id)) << id;
    for (int id : {IDC_PLEASE_WAIT, IDC_SUPPORT_PHONE, IDC_LEGAL_NOTICE, IDC_SUPPORT_MAIL})
        EXPECT_FALSE(controlVisible(w, id)) << id;
    EXPECT_NE(SendMessageW(w, WM_GETICON, ICON_SMALL, 0), 0);

    report(dialog, 4, L"module/old.jar", 3, 10, 40);
    EXPECT_EQ(controlText(w, IDC_STATUS_TEXT), L"Deleting file 3 of 10...");
    EXPECT_EQ(controlText(w, IDC_DETAIL_TEXT), L"module/old.jar");
    EXPECT_FALSE(marqueeStyle(w));
    EXPECT_EQ(SendMessageW(GetDlgItem(w, IDC_PROGRESS_BAR), PBM_GETPOS, 0, 0), 40);
    screenshot(w, L"login-progress");

    report(dialog, 2, L"http://deploy.example/client/", 3, 10, 40);
    EXPECT_EQ(controlText(w, IDC_STATUS_TEXT), L"Contacting Server...");
    EXPECT_TRUE(marqueeStyle(w));

    report(dialog, 0, L"", 0, 0, 12);
    EXPECT_EQ(controlText(w, IDC_STATUS_TEXT), L"???");
    EXPECT_FALSE(marqueeStyle(w));
    EXPECT_EQ(SendMessageW(GetDlgItem(w, IDC_PROGRESS_BAR), PBM_GETPOS, 0, 0), 12);

    report(dialog, 5, L"module/client.jar", 2, 7, 100);
    EXPECT_EQ(controlText(w, IDC_STATUS_TEXT), L"Loading file 2 of 7...");
    EXPECT_EQ(SendMessageW(GetDlgItem(w, IDC_PROGRESS_BAR), PBM_GETPOS, 0, 0), 100);

    // A report that leaves values out keeps the earlier ones.
    const int percent = 60;
    dialog.progress(nullptr, nullptr, nullptr, nullptr, &percent, nullptr);
    EXPECT_EQ(controlText(w, IDC_STATUS_TEXT), L"Loading file 2 of 7...");
    EXPECT_EQ(SendMessageW(GetDlgItem(w, IDC_PROGRESS_BAR), PBM_GETPOS, 0, 0), 60);
}

TEST_F(LoginDialogTest, TheSameTextTwiceIsSetOnlyOnce) {
    CDialogLogin dialog(GetModuleHandleW(nullptr), nullptr);
    SetTextCounter counter(GetDlgItem(dialog.window(), IDC_STATUS_TEXT));

    report(dialog, 5, L"a.jar", 1, 2, 10);
    settle(dialog.window());
    EXPECT_EQ(SetTextCounter::count, 1);
    report(dialog, 5, L"a.jar", 1, 2, 10);
    report(dialog, 5, L"a.jar", 1, 2, 55);  // only the bar moves
    settle(dialog.window());
    EXPECT_EQ(SetTextCounter::count, 1);
    report(dialog, 5, L"b.jar", 2, 2, 0);
    settle(dialog.window());
    EXPECT_EQ(SetTextCounter::count, 2);
}

TEST_F(LoginDialogTest, ReportsNeverWaitForABusyDialogWhichThenShowsOnlyTheLastState) {
    CDialogLogin dialog(GetModuleHandleW(nullptr), nullptr);
    HWND w = dialog.window();
    UniqueHandle release(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    SetTextCounter counter(GetDlgItem(w, IDC_STATUS_TEXT), release.get());

    report(dialog, 5, L"a.jar", 1, 100, 0);
    ASSERT_TRUE(waitUntil([] { return SetTextCounter::count == 1; }));  // the dialog thread now hangs
    for (int i = 2; i <= 100; ++i) report(dialog, 5, L"b.jar", i, 100, i);
    EXPECT_EQ(SetTextCounter::count, 1);  // every report returned while the dialog was busy

    SetEvent(release.get());
    EXPECT_EQ(controlText(w, IDC_STATUS_TEXT), L"Loading file 100 of 100...");
    EXPECT_EQ(controlText(w, IDC_DETAIL_TEXT), L"b.jar");
    EXPECT_EQ(SendMessageW(GetDlgItem(w, IDC_PROGRESS_BAR), PBM_GETPOS, 0, 0), 100);
    EXPECT_EQ(SetTextCounter::count, 2);  // the states in between were never shown
}

TEST_F(LoginDialogTest, LoginFormWithOutOfRangeServerIndexSelectsAndStoresTheFirst) {
    writeRegistryDword(key(kLastServerPrefix), 5);
    CDialogLogin dialog(GetModuleHandleW(nullptr), nullptr);
    HWND w = dialog.window();
    startLogin(dialog, threeServers());

    for (int id : kFormControls) EXPECT_TRUE(controlVisible(w, id)) << id;
    for (int id : kProgressControls) EXPECT_FALSE(controlVisible(w, id)) << id;
    EXPECT_FALSE(controlVisible(w, IDC_PLEASE_WAIT));
    HWND list = GetDlgItem(w, IDC_SERVER_LIST);
    EXPECT_EQ(SendMessageW(list, CB_GETCOUNT, 0, 0), 3);
    EXPECT_EQ(SendMessageW(list, CB_GETCURSEL, 0, 0), 0);
    EXPECT_EQ(controlText(w, IDC_SERVER_LIST), L"Production");
    EXPECT_EQ(controlText(w, IDC_USER_ID), L"");
    EXPECT_EQ(controlText(w, IDC_PASSWORD), L"");
    EXPECT_FALSE(checked(w));
    EXPECT_NE(GetWindowLongPtrW(GetDlgItem(w, IDC_PASSWORD), GWL_STYLE) & ES_PASSWORD, 0);
    EXPECT_NE(GetPropW(GetDlgItem(w, IDC_REQUEST_PASSWORD_LINK), L"href_dat"), nullptr);

    // Each label is right-aligned on its field's row and ends just before the field.
    const int pairs[][2] = {{IDC_SERVER_LABEL, IDC_SERVER_LIST}, {IDC_USER_ID_LABEL, IDC_USER_ID},
                            {IDC_PASSWORD_LABEL, IDC_PASSWORD}};
    for (const auto& pair : pairs) {
        RECT label = controlRect(w, pair[0]), field = controlRect(w, pair[1]);
        EXPECT_EQ(label.left, 0);
        EXPECT_EQ(label.top, field.top);
        EXPECT_EQ(label.bottom - label.top, field.bottom - field.top);
        EXPECT_LT(label.right, field.left);
        EXPECT_GE(label.right, field.left - 20);
        EXPECT_NE(GetWindowLongPtrW(GetDlgItem(w, pair[0]), GWL_STYLE) & SS_RIGHT, 0);
    }
    RECT user = controlRect(w, IDC_USER_ID), password = controlRect(w, IDC_PASSWORD);
    EXPECT_EQ(user.left, 188);
    EXPECT_LT(user.bottom, password.top);

    setControlText(w, IDC_USER_ID, L"anna");
    setControlText(w, IDC_PASSWORD, L"secret");
    SendMessageW(GetDlgItem(w, IDC_SAVE_PASSWORD), BM_SETCHECK, BST_CHECKED, 0);
    screenshot(w, L"login-form");

    ASSERT_TRUE(finishLogin(dialog));
    EXPECT_EQ(dialog.userId(), L"anna");
    EXPECT_EQ(dialog.password(), L"secret");
    EXPECT_EQ(dialog.serverHost(), L"srv01");
    EXPECT_EQ(dialog.serverPort(), 8080);
    EXPECT_EQ(dialog.serverCaption(), L"Production");
    EXPECT_EQ(dialog.serverExtra(), -1);
    EXPECT_EQ(dialog.loginState(), 1);

    DWORD stored = 99;
    EXPECT_TRUE(readRegistryDword(key(kLastServerPrefix), stored));
    EXPECT_EQ(stored, 0u);
    EXPECT_EQ(readRegistryString(key(kLastUserPrefix)), L"anna");
    EXPECT_EQ(readRegistryString(key(kPasswordPrefix)), L"<missing>");  // kept protected, not in plain value
    EXPECT_EQ(loadStoredPassword(key(kPasswordPrefix)), L"secret");

    // Please-wait phase: only the text 1012, in the panel.
    EXPECT_TRUE(waitUntil([&] { return controlVisible(w, IDC_PLEASE_WAIT); }));
    for (int id : kFormControls) EXPECT_FALSE(controlVisible(w, id)) << id;
    RECT panel = controlRect(w, IDC_PLEASE_WAIT);
    EXPECT_EQ(panel.left, dialog.progressPanel().left);
    EXPECT_EQ(panel.top, dialog.progressPanel().top);
    EXPECT_EQ(GetWindowLongPtrW(GetDlgItem(w, IDC_PASSWORD), GWL_STYLE) & ES_PASSWORD, 0);
    screenshot(w, L"login-please-wait");
}

TEST_F(LoginDialogTest, OlderProductsUserIsOfferedAndAnUncheckedBoxForgetsThePassword) {
    writeRegistryString(key(kZolpLastUserPrefix), L"zolp-user");
    writeRegistryString(key(kPasswordPrefix), fromAnsi(scramblePassword("pw1")));
    CDialogLogin dialog(GetModuleHandleW(nullptr), nullptr);
    HWND w = dialog.window();
    startLogin(dialog, threeServers());
    EXPECT_EQ(controlText(w, IDC_USER_ID), L"zolp-user");
    EXPECT_EQ(controlText(w, IDC_PASSWORD), L"pw1");
    EXPECT_TRUE(checked(w));

    SendMessageW(GetDlgItem(w, IDC_SAVE_PASSWORD), BM_SETCHECK, BST_UNCHECKED, 0);
    selectServer(w, 1);
    ASSERT_TRUE(finishLogin(dialog));
    EXPECT_EQ(dialog.serverHost(), L"srv02");
    EXPECT_EQ(dialog.serverPort(), 8181);
    EXPECT_EQ(dialog.serverExtra(), 7);
    EXPECT_EQ(dialog.password(), L"pw1");
    EXPECT_EQ(readRegistryString(key(kPasswordPrefix)), L"<missing>");  // the scrambled value is gone
    EXPECT_EQ(loadStoredPassword(key(kPasswordPrefix)), L"");
    EXPECT_EQ(readRegistryString(key(kLastUserPrefix)), L"zolp-user");
    DWORD stored = 99;
    EXPECT_TRUE(readRegistryDword(key(kLastServerPrefix), stored));
    EXPECT_EQ(stored, 1u);

    // The form again (wrong credentials): cleared password, the list refilled, the stored
    // server selected, the form controls shown.
    startLogin(dialog, {ServerInfo(L"a", 1, L"A", -1), ServerInfo(L"b", 2, L"B", -1)});
    EXPECT_EQ(controlText(w, IDC_PASSWORD), L"");
    EXPECT_FALSE(checked(w));
    EXPECT_EQ(SendMessageW(GetDlgItem(w, IDC_SERVER_LIST), CB_GETCOUNT, 0, 0), 2);
    EXPECT_EQ(controlText(w, IDC_SERVER_LIST), L"B");
    EXPECT_EQ(controlText(w, IDC_USER_ID), L"zolp-user");
    for (int id : kFormControls) EXPECT_TRUE(controlVisible(w, id)) << id;
    EXPECT_FALSE(controlVisible(w, IDC_PLEASE_WAIT));
    ASSERT_TRUE(finishLogin(dialog));
    EXPECT_EQ(dialog.serverHost(), L"b");
}

TEST_F(LoginDialogTest, EnterDuringProgressDoesNotLogIn) {
    CDialogLogin dialog(GetModuleHandleW(nullptr), nullptr);
    SendMessageW(dialog.window(), WM_COMMAND, IDOK, 0);
    EXPECT_EQ(dialog.loginState(), -1);
    EXPECT_FALSE(controlVisible(dialog.window(), IDC_PLEASE_WAIT));
    EXPECT_FALSE(registryKeyExists(key(kLastServerPrefix)));
}

// A top-level window of this process on a thread of its own, as the client would show one.
class ClientWindow {
public:
    explicit ClientWindow(bool withIcon) {
        thread_ = std::thread([this, withIcon] {
            threadId_ = GetCurrentThreadId();
            window_ = CreateWindowExW(WS_EX_APPWINDOW, L"STATIC", L"client", WS_OVERLAPPEDWINDOW, 50, 50, 200, 100,
                                      nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
            if (withIcon) SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(LoadIconW(nullptr, IDI_APPLICATION)));
            ShowWindow(window_, SW_SHOW);
            ready_ = true;
            MSG message;
            while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
        });
        waitUntil([this] { return ready_.load(); });
    }
    ~ClientWindow() {
        PostMessageW(window_, WM_CLOSE, 0, 0);
        PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
        thread_.join();
    }
    HWND window() const { return window_; }

private:
    std::thread thread_;
    std::atomic<bool> ready_{false};
    HWND window_ = nullptr;
    DWORD threadId_ = 0;
};

TEST_F(LoginDialogTest, WatcherRedirectsIconlessWindowsAndHidesOnceTheClientWindowShows) {
    CDialogLogin dialog(GetModuleHandleW(nullptr), nullptr);
    HWND w = dialog.window();
    startLogin(dialog, threeServers());
    ASSERT_TRUE(finishLogin(dialog));

    ClientWindow splash(false);
    ASSERT_TRUE(waitUntil([&] { return (GetWindowLongPtrW(splash.window(), GWL_EXSTYLE) & WS_EX_TOOLWINDOW) != 0; }));
    EXPECT_EQ(GetWindowLongPtrW(splash.window(), GWL_EXSTYLE) & WS_EX_APPWINDOW, 0);
    // Its messages still reach its own procedure.
    setWindowText(splash.window(), L"splash");
    EXPECT_EQ(windowText(splash.window()), L"splash");
    // A later pass of the watcher takes a second splash: the pass that saw the first one
    // ended without hiding the dialog.
    ClientWindow secondSplash(false);
    ASSERT_TRUE(waitUntil([&] { return (GetWindowLongPtrW(secondSplash.window(), GWL_EXSTYLE) & WS_EX_TOOLWINDOW) != 0; }));
    EXPECT_TRUE(IsWindowVisible(w));

    ClientWindow client(true);
    EXPECT_TRUE(waitUntil([&] { return !IsWindowVisible(w); }, 5000));
}

TEST_F(LoginDialogTest, DestructorClosesTheWindowPromptly) {
    auto* dialog = new CDialogLogin(GetModuleHandleW(nullptr), nullptr);
    HWND w = dialog->window();
    startLogin(*dialog, threeServers());
    ASSERT_TRUE(finishLogin(*dialog));  // the watcher now runs
    // Bounded by the destructor's own limits.
    ASSERT_TRUE(finishesWithin(30000, [dialog] { delete dialog; }));
    EXPECT_FALSE(IsWindow(w));
}

TEST_F(LoginDialogTest, RequestPasswordLinkOpensTheRequestWithTheTypedUserId) {
    CDialogLogin dialog(GetModuleHandleW(nullptr), nullptr);
    HWND w = dialog.window();
    startLogin(dialog, threeServers());
    setControlText(w, IDC_USER_ID, L"anna@example.org");
    PostMessageW(GetDlgItem(w, IDC_REQUEST_PASSWORD_LINK), WM_LBUTTONDOWN, MK_LBUTTON, 0);
    WindowQuery query;
    query.title = L"Request password";
    query.processId = GetCurrentProcessId();
    query.owner = w;
    HWND request = waitForWindow(query);
    ASSERT_NE(request, nullptr);
    EXPECT_EQ(controlText(request, IDC_MAIL_ADDRESS), L"anna@example.org");
    EXPECT_TRUE(controlEnabled(request, IDOK));
    EXPECT_FALSE(IsWindowEnabled(w));  // modal over the login dialog
    clickButton(request, IDCANCEL);
    ASSERT_TRUE(waitUntil([&] { return !IsWindow(request); }));
    EXPECT_TRUE(waitUntil([&] { return IsWindowEnabled(w) != FALSE; }));
    ASSERT_TRUE(finishLogin(dialog));
}

} // namespace
} // namespace ornivel
