#include "ui/CDialogLogin.h"

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include "common/Process.h"
#include "common/ResourceText.h"
#include "res/resource.h"
#include "ui/CDialogRequestPassword.h"
#include "ui/LoginDialogTables.h"
#include "config/StoredValues.h"
#include "common/Guarded.h"

namespace ornivel {

namespace {

// Posted by the destructor: the dialog thread destroys its window and ends its loop.
constexpr UINT kCloseFromOwner = WM_APP + 1;
// How long the destructor waits for each of the dialog's threads.
constexpr uint32_t kThreadEndWaitMs = 5000;

// The dialog whose window is being created; its procedure finds the object through it
// before the creating call has returned.
std::atomic<CDialogLogin*> dialogUnderCreation{nullptr};

} // namespace

CDialogLogin::CDialogLogin(HINSTANCE instance, ThreadStartVM* javaHost) : javaHost_(javaHost), instance_(instance) {
    shown_.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    loginDecided_.reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    if (!shown_ || !loginDecided_ || !dialogThread_.start(&CDialogLogin::dialogThreadEntry, this, kPriorityNormal))
        return;
    dialogThreadId_ = dialogThread_.id();
    // Wait until the window is on the screen, or until the thread gave up creating it: the
    // dialog thread signals either.
    WaitForSingleObject(shown_.get(), INFINITE);
}

CDialogLogin::~CDialogLogin() {
    running_ = false;
    // The window belongs to the dialog thread: that thread destroys it and leaves its loop.
    HWND window = window_;
    if (!window || !PostMessageW(window, kCloseFromOwner, 0, 0))
        PostThreadMessageW(dialogThreadId_, WM_QUIT, 0, 0);
    if (dialogThread_.wait(kThreadEndWaitMs) != SystemThread::WaitResult::Ended && window)
        unregisterLoginDialog(window);  // a stuck thread must no longer find this object
    watcherThread_.wait(kThreadEndWaitMs);
    window_ = nullptr;
}

uint32_t CDialogLogin::dialogThreadEntry(void* self) {
    auto* dialog = static_cast<CDialogLogin*>(self);
    const uint32_t status = dialog->runDialogThread();
    SetEvent(dialog->shown_.get());  // a constructor still waiting is released however the thread ends
    return status;
}

uint32_t CDialogLogin::runDialogThread() {
    // The background picture is loaded through OLE on this thread.
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    dialogUnderCreation = this;
    HWND window = CreateDialogParamW(instance_, MAKEINTRESOURCEW(IDD_LOGIN), nullptr, dialogProcedure,
                                     reinterpret_cast<LPARAM>(this));
    dialogUnderCreation = nullptr;
    if (!window) return 1;
    window_ = window;
    registerLoginDialog(window, this);
    ShowWindow(window, SW_SHOW);

    while (running_) {
        if (loginState_ == 0) endProcessOnce(-1);
        MSG message;
        if (GetMessageW(&message, nullptr, 0, 0) <= 0) break;
        HWND active = GetActiveWindow();
        if (active && IsDialogMessageW(active, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    if (loginState_ == 0) endProcessOnce(-1);
    return 0;
}

INT_PTR CALLBACK CDialogLogin::dialogProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return guarded("the login dialog's procedure", INT_PTR{FALSE}, [&]() -> INT_PTR {
        CDialogLogin* self = findLoginDialog(window);
        if (!self) {
            self = dialogUnderCreation;
            if (!self || message == WM_NCDESTROY) return FALSE;
            self->window_ = window;
            registerLoginDialog(window, self);
        }
        if (message == WM_NCDESTROY) {
            unregisterLoginDialog(window);
            return FALSE;
        }
        return self->handleMessage(message, wParam, lParam);
    });
}

INT_PTR CDialogLogin::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        initDialog();
        return TRUE;
    case WM_WINDOWPOSCHANGED:
        if (IsWindowVisible(window_)) SetEvent(shown_.get());
        return FALSE;
    case WM_ERASEBKGND:
        eraseBackground(reinterpret_cast<HDC>(wParam));
        SetWindowLongPtrW(window_, DWLP_MSGRESULT, 1);
        return TRUE;
    case WM_CLOSE:
        decideLogin(0);
        PostMessageW(window_, WM_COMMAND, IDCANCEL, 0);
        return TRUE;
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE)
            for (HWND redirected : redirectedWindowList()) SetForegroundWindow(redirected);
        return FALSE;
    case WM_NOTIFY: {
        auto* header = reinterpret_cast<NMHDR*>(lParam);
        if (header->code == TTN_GETDISPINFOW) {
            reinterpret_cast<NMTTDISPINFOW*>(lParam)->lpszText = tooltipText_;
            return TRUE;
        }
        return FALSE;
    }
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_LOGIN_OK: onLogin(); return TRUE;
        case IDC_LOGIN_CANCEL: onCancel(); return TRUE;
        case IDC_SERVER_LIST:
            if (HIWORD(wParam) == CBN_SELCHANGE)
                selectedServer_ = static_cast<int>(SendMessageW(item(IDC_SERVER_LIST), CB_GETCURSEL, 0, 0));
            return TRUE;
        default: return FALSE;
        }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
        return reinterpret_cast<INT_PTR>(controlColour(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam)));
    case kShowProgress:
        showReportedProgress();
        return TRUE;
    case WM_TIMER:
        if (wParam != kProgressPaintTimer) return FALSE;
        paintDeferredProgress();
        return TRUE;
    case kCloseFromOwner:
        DestroyWindow(window_);
        PostQuitMessage(0);
        return TRUE;
    case WM_DESTROY:
        if (tooltip_) DestroyWindow(tooltip_);
        tooltip_ = nullptr;
        return FALSE;
    default:
        return FALSE;
    }
}

void CDialogLogin::onLogin() {
    // Enter reaches the (hidden) Login button in every phase; only the form may log in.
    if (!formShown_.exchange(false)) return;
    const std::wstring typedUser = itemText(IDC_USER_ID);
    const std::wstring typedPassword = itemText(IDC_PASSWORD);
    const bool savePassword = SendMessageW(item(IDC_SAVE_PASSWORD), BM_GETCHECK, 0, 0) == BST_CHECKED;
    const int selected = selectedServer_;
    saveStoredLogin(typedUser, selected, savePassword ? typedPassword : std::wstring());
    {
        LockGuard guard(valuesLock_);
        userId_ = typedUser;
        password_ = typedPassword;
        if (selected >= 0 && static_cast<size_t>(selected) < servers_.size()) {
            const ServerInfo& server = servers_[selected];
            serverHost_ = server.host();
            serverCaption_ = server.caption();
            serverPort_ = server.port();
            serverExtra_ = server.extra();
        }
    }
    setPasswordStyle(false);
    showItems({IDC_SERVER_LIST, IDC_REQUEST_PASSWORD_LINK, IDC_PASSWORD, IDC_USER_ID, IDC_SERVER_LABEL,
               IDC_USER_ID_LABEL, IDC_PASSWORD_LABEL, IDC_LOGIN_OK, IDC_LOGIN_CANCEL, IDC_SAVE_PASSWORD,
               IDC_SAVE_PASSWORD_LABEL},
              SW_HIDE);
    ShowWindow(item(IDC_PLEASE_WAIT), SW_SHOW);
    MoveWindow(item(IDC_PLEASE_WAIT), progressPanel_.left, progressPanel_.top, progressPanel_.width(),
               progressPanel_.height(), FALSE);
    startWatcher();
}

void CDialogLogin::decideLogin(int state) {
    loginState_ = state;
    SetEvent(loginDecided_.get());
}

void CDialogLogin::onCancel() {
    decideLogin(0);
    DestroyWindow(window_);
    PostQuitMessage(0);
}

void CDialogLogin::requestPasswordLink(void* self) { static_cast<CDialogLogin*>(self)->openPasswordRequest(); }

void CDialogLogin::openPasswordRequest() {
    const std::wstring typedUser = itemText(IDC_USER_ID);
    std::wstring host;
    int port = 0;
    {
        LockGuard guard(valuesLock_);
        const int selected = selectedServer_;
        if (selected >= 0 && static_cast<size_t>(selected) < servers_.size()) {
            host = servers_[selected].host();
            port = servers_[selected].port();
        }
    }
    CDialogRequestPassword request(window_, typedUser, host, port, javaHost_);
}

std::wstring CDialogLogin::userId() const {
    LockGuard guard(valuesLock_);
    return userId_;
}
std::wstring CDialogLogin::password() const {
    LockGuard guard(valuesLock_);
    return password_;
}
std::wstring CDialogLogin::serverHost() const {
    LockGuard guard(valuesLock_);
    return serverHost_;
}
std::wstring CDialogLogin::serverCaption() const {
    LockGuard guard(valuesLock_);
    return serverCaption_;
}
int CDialogLogin::serverPort() const {
    LockGuard guard(valuesLock_);
    return serverPort_;
}
int CDialogLogin::serverExtra() const {
    LockGuard guard(valuesLock_);
    return serverExtra_;
}

namespace {

int controlSlot(int id, int firstFieldId, int slots) {
    if (id >= 1 && id <= 2) return id - 1;
    if (id >= firstFieldId && id - firstFieldId + 2 < slots) return id - firstFieldId + 2;
    return -1;
}

} // namespace

void CDialogLogin::rememberControls() {
    for (HWND child = GetWindow(window_, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        const int slot = controlSlot(GetDlgCtrlID(child), kFirstFieldId, kControlSlots);
        if (slot >= 0 && !controls_[slot]) controls_[slot] = child;
    }
}

HWND CDialogLogin::item(int id) const {
    HWND window = window_;
    if (!window) return nullptr;
    const int slot = controlSlot(id, kFirstFieldId, kControlSlots);
    if (slot >= 0 && controls_[slot]) return controls_[slot];
    return GetDlgItem(window, id);
}

std::wstring CDialogLogin::itemText(int id) const {
    HWND control = item(id);
    if (!control) return {};
    // WM_GETTEXT also serves controls of another thread; the length bounds the buffer.
    int length = static_cast<int>(SendMessageW(control, WM_GETTEXTLENGTH, 0, 0));
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    int got = static_cast<int>(SendMessageW(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data())));
    text.resize(static_cast<size_t>(got < 0 ? 0 : got));
    return text;
}

void CDialogLogin::showItems(std::initializer_list<int> ids, int command) const {
    for (int id : ids) ShowWindow(item(id), command);
}

void CDialogLogin::setPasswordStyle(bool on) const {
    HWND field = item(IDC_PASSWORD);
    LONG_PTR style = GetWindowLongPtrW(field, GWL_STYLE);
    SetWindowLongPtrW(field, GWL_STYLE, on ? (style | ES_PASSWORD) : (style & ~static_cast<LONG_PTR>(ES_PASSWORD)));
    // The edit control takes the mask character from this message, not from the style.
    SendMessageW(field, EM_SETPASSWORDCHAR, on ? 0x25CF : 0, 0);
}

std::wstring CDialogLogin::loadString(UINT id) const { return loadResourceString(instance_, id); }

} // namespace ornivel
