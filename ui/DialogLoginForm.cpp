// The login dialog's form phase: filling the form, waiting for Login, and the watcher that
// hides the dialog once the client's own window is on the screen.
#include "res/resource.h"
#include "ui/CDialogLogin.h"
#include "ui/LoginDialogTables.h"
#include "config/StoredValues.h"
#include "common/Guarded.h"

namespace ornivel {

namespace {
constexpr DWORD kPollMs = 100;
constexpr UINT kIconQueryTimeoutMs = 1000;
} // namespace

bool CDialogLogin::waitForLogin(std::vector<ServerInfo> servers) {
    loginState_ = -1;
    // Masked before any password can be put into the field or the field is shown.
    setPasswordStyle(true);
    setTextIfChanged(IDC_PASSWORD, L"");

    HWND list = item(IDC_SERVER_LIST);
    std::vector<std::wstring> captions;
    for (const ServerInfo& server : servers) captions.push_back(server.caption());
    const int serverCount = static_cast<int>(servers.size());
    {
        LockGuard guard(valuesLock_);
        servers_ = std::move(servers);
    }
    while (SendMessageW(list, CB_DELETESTRING, 0, 0) != CB_ERR) {
    }
    for (const std::wstring& caption : captions)
        SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(caption.c_str()));

    // The stored values are in place before the fields appear.
    const StoredLogin stored = loadStoredLogin(serverCount);
    SendMessageW(item(IDC_USER_ID), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(stored.userId.c_str()));
    selectedServer_ = stored.serverIndex;
    SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(stored.serverIndex), 0);
    if (!stored.password.empty()) {
        SendMessageW(item(IDC_PASSWORD), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(stored.password.c_str()));
        SendMessageW(item(IDC_SAVE_PASSWORD), BM_SETCHECK, BST_CHECKED, 0);
    } else {
        SendMessageW(item(IDC_SAVE_PASSWORD), BM_SETCHECK, BST_UNCHECKED, 0);
    }
    // Accepting Login before the fields appear lets a Login that sees them never be lost.
    formShown_ = true;
    showItems({IDC_SERVER_LIST, IDC_REQUEST_PASSWORD_LINK, IDC_PASSWORD, IDC_USER_ID, IDC_SERVER_LABEL,
               IDC_USER_ID_LABEL, IDC_PASSWORD_LABEL, IDC_LOGIN_OK, IDC_LOGIN_CANCEL, IDC_SAVE_PASSWORD,
               IDC_SAVE_PASSWORD_LABEL},
              SW_SHOW);
    showItems({IDC_PLEASE_WAIT, IDC_PROGRESS_BAR, IDC_STATUS_TEXT, IDC_UPDATING_TEXT, IDC_DETAIL_TEXT}, SW_HIDE);

    // The caret goes to the password field (the user id is typed less often).
    const DWORD self = GetCurrentThreadId();
    const bool attached = self != dialogThreadId_ && AttachThreadInput(self, dialogThreadId_, TRUE);
    SetFocus(item(IDC_USER_ID));
    SetFocus(item(IDC_PASSWORD));
    if (attached) AttachThreadInput(self, dialogThreadId_, FALSE);
    while (loginState_ == -1) WaitForSingleObject(loginDecided_.get(), INFINITE);
    return loginState_ != 0;
}

void CDialogLogin::startWatcher() {
    // A watcher of an earlier Login that still waits for the client's window goes on
    // watching; a second one would only duplicate it.
    if (watcherThread_.joinable() && watcherThread_.wait(0) == SystemThread::WaitResult::TimedOut) {
        decideLogin(1);
        return;
    }
    if (!watcherThread_.start(&CDialogLogin::watcherThreadEntry, this, kPriorityNormal)) decideLogin(1);
}

uint32_t CDialogLogin::watcherThreadEntry(void* self) { return static_cast<CDialogLogin*>(self)->runWatcher(); }

uint32_t CDialogLogin::runWatcher() {
    decideLogin(1);
    for (;;) {
        int counted = 0;
        {
            LockGuard guard(lock_);
            windowCounter_ = 0;
            EnumWindows(countWindow, reinterpret_cast<LPARAM>(this));
            counted = windowCounter_;
        }
        if (counted > 1) break;
        if (!running_) return 0;
        Sleep(kPollMs);
        if (!running_) return 0;
    }
    if (HWND window = window_) ShowWindowAsync(window, SW_HIDE);
    return 0;
}

BOOL CALLBACK CDialogLogin::countWindow(HWND window, LPARAM self) {
    return guarded("the client window count", BOOL{TRUE}, [&]() -> BOOL {
        reinterpret_cast<CDialogLogin*>(self)->countIfClientWindow(window);
        return TRUE;
    });
}

void CDialogLogin::countIfClientWindow(HWND window) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != GetCurrentProcessId() || !IsWindowVisible(window)) return;
    DWORD_PTR icon = 0;
    // A window whose thread hangs must not stop the watcher.
    SendMessageTimeoutW(window, WM_GETICON, ICON_SMALL, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK, kIconQueryTimeoutMs, &icon);
    if (icon) {
        if (GetParent(window) != window_) ++windowCounter_;
    } else if (!isRedirected(window)) {
        SetForegroundWindow(window_);
        redirectWindow(window);
    }
}

} // namespace ornivel
