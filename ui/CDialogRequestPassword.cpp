#include "ui/CDialogRequestPassword.h"

#include "common/PointerTable.h"
#include "common/ResourceText.h"
#include "res/resource.h"
#include "ui/DialogFonts.h"
#include "ui/Hyperlink.h"
#include "common/Guarded.h"

namespace ornivel {

namespace {

// Process-wide: dialog window -> object (never destroyed, see the login dialog's tables).
PointerTable<CDialogRequestPassword*>& passwordDialogByWindow() {
    static auto* table = new PointerTable<CDialogRequestPassword*>;
    return *table;
}

constexpr int kButtonShift = 32;
constexpr int kButtonHeight = 19;

RECT clientRectOf(HWND control) {
    RECT r{};
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

} // namespace

CDialogRequestPassword::CDialogRequestPassword(HWND owner, const std::wstring& prefill, const std::wstring& serverHost,
                                               int serverPort, ThreadStartVM* javaHost)
    : prefill_(prefill), serverHost_(serverHost), serverPort_(serverPort), javaHost_(javaHost) {
    reset_ = [javaHost](const std::wstring& host, int port, const std::wstring& mail) {
        return callResetPassword(javaHost, host, port, mail);
    };
    run(owner);
}

CDialogRequestPassword::CDialogRequestPassword(HWND owner, const std::wstring& prefill, const std::wstring& serverHost,
                                               int serverPort, PasswordResetCall reset)
    : prefill_(prefill), serverHost_(serverHost), serverPort_(serverPort), reset_(std::move(reset)) {
    run(owner);
}

CDialogRequestPassword::~CDialogRequestPassword() = default;

void CDialogRequestPassword::run(HWND owner) {
    instance_ = owner ? reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(owner, GWLP_HINSTANCE)) : nullptr;
    if (!instance_) instance_ = GetModuleHandleW(nullptr);
    result_ = DialogBoxParamW(instance_, MAKEINTRESOURCEW(IDD_REQUEST_PASSWORD), owner, dialogProcedure,
                              reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK CDialogRequestPassword::dialogProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return guarded("the password request dialog's procedure", INT_PTR{FALSE}, [&]() -> INT_PTR {
        auto& table = passwordDialogByWindow();
        CDialogRequestPassword* self = nullptr;
        if (message == WM_INITDIALOG) {
            self = reinterpret_cast<CDialogRequestPassword*>(lParam);
            self->window_ = window;
            table.set(window, self);
        } else {
            self = message == WM_NCDESTROY ? table.take(window) : table.find(window);
        }
        return self ? self->handleMessage(message, wParam, lParam) : FALSE;
    });
}

INT_PTR CDialogRequestPassword::handleMessage(UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        initDialog();
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_MAIL_ADDRESS && HIWORD(wParam) == EN_CHANGE) {
            updateRequestButton();
        } else if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(window_, 0);
        } else if (LOWORD(wParam) == IDOK) {
            requestPassword();
        } else {
            return FALSE;
        }
        return TRUE;
    case WM_CTLCOLORSTATIC:
        SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
        return reinterpret_cast<INT_PTR>(GetStockObject(NULL_BRUSH));
    default:
        return FALSE;
    }
}

void CDialogRequestPassword::initDialog() {
    HWND owner = GetWindow(window_, GW_OWNER);
    centreWindow(window_, owner);
    if (owner) {
        DWORD_PTR icon = 0;
        SendMessageTimeoutW(owner, WM_GETICON, ICON_SMALL, 0, SMTO_ABORTIFHUNG, 1000, &icon);
        SendMessageW(window_, WM_SETICON, ICON_SMALL, static_cast<LPARAM>(icon));
    }
    SetDlgItemTextW(window_, IDC_MAIL_ADDRESS, prefill_.c_str());
    updateRequestButton();

    const DialogFonts& fonts = dialogFonts();
    auto set = [this](int id, HFONT font) {
        SendMessageW(GetDlgItem(window_, id), WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    };
    for (int id : {IDC_MAIL_ADDRESS, IDOK, IDCANCEL, IDC_REQUEST_EXPLANATION}) set(id, fonts.arial12);
    set(IDC_REQUEST_HEADING, fonts.arial16);

    HWND request = GetDlgItem(window_, IDOK);
    RECT r = clientRectOf(request);
    MoveWindow(request, r.left - kButtonShift, r.top, (r.right - r.left) + kButtonShift, kButtonHeight, FALSE);
    HWND cancel = GetDlgItem(window_, IDCANCEL);
    r = clientRectOf(cancel);
    MoveWindow(cancel, r.left, r.top, (r.right - r.left) + kButtonShift, kButtonHeight, FALSE);
}

std::wstring CDialogRequestPassword::mailText() const {
    HWND field = GetDlgItem(window_, IDC_MAIL_ADDRESS);
    int length = GetWindowTextLengthW(field);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    int got = GetWindowTextW(field, text.data(), length + 1);
    text.resize(static_cast<size_t>(got > 0 ? got : 0));
    return text;
}

void CDialogRequestPassword::updateRequestButton() const {
    EnableWindow(GetDlgItem(window_, IDOK), GetWindowTextLengthW(GetDlgItem(window_, IDC_MAIL_ADDRESS)) > 0);
}

void CDialogRequestPassword::requestPassword() {
    const std::wstring mail = mailText();
    if (mail.empty()) return;
    SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    const std::wstring answer = reset_ ? reset_(serverHost_, serverPort_, mail) : std::wstring();
    // Moving the mouse to where it is makes the system ask for the cursor shape again.
    POINT where{};
    GetCursorPos(&where);
    SetCursorPos(where.x, where.y);
    if (answer == L"true") {
        MessageBoxW(window_, loadString(IDS_PW_OK_TEXT).c_str(), loadString(IDS_PW_OK_CAPTION).c_str(),
                    MB_OK | MB_ICONINFORMATION);
        EndDialog(window_, 1);
    } else {
        MessageBoxW(window_, loadString(IDS_PW_FAIL_TEXT).c_str(), loadString(IDS_PW_FAIL_CAPTION).c_str(),
                    MB_OK | MB_ICONERROR);
    }
}

std::wstring CDialogRequestPassword::loadString(UINT id) const { return loadResourceString(instance_, id); }

} // namespace ornivel
