#include "ui/CDialogProxyCredentials.h"

#include "common/ResourceText.h"
#include "common/Text.h"
#include "res/resource.h"
#include "ui/DialogFonts.h"
#include "ui/Hyperlink.h"

namespace ornivel {

namespace {

struct ProxyPrompt {
    std::wstring proxy;
    ProxyCredential credential;
    bool remember = false;
    HINSTANCE instance = nullptr;
};

std::wstring controlText(HWND window, int id) {
    HWND control = GetDlgItem(window, id);
    const int length = GetWindowTextLengthW(control);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const int got = GetWindowTextW(control, text.data(), length + 1);
    text.resize(static_cast<size_t>(got > 0 ? got : 0));
    return text;
}

void initDialog(HWND window, ProxyPrompt& prompt) {
    HWND owner = GetWindow(window, GW_OWNER);
    centreWindow(window, owner);
    if (owner) {
        DWORD_PTR icon = 0;
        SendMessageTimeoutW(owner, WM_GETICON, ICON_SMALL, 0, SMTO_ABORTIFHUNG, 1000, &icon);
        SendMessageW(window, WM_SETICON, ICON_SMALL, static_cast<LPARAM>(icon));
    }
    const std::wstring text = formatWide(loadResourceString(prompt.instance, IDS_PROXY_PROMPT).c_str(), prompt.proxy.c_str());
    SetDlgItemTextW(window, IDC_PROXY_TEXT, text.c_str());
    const DialogFonts& fonts = dialogFonts();
    for (int id : {IDC_PROXY_TEXT, IDC_PROXY_USER_LABEL, IDC_PROXY_USER, IDC_PROXY_PASSWORD_LABEL, IDC_PROXY_PASSWORD,
                   IDC_PROXY_REMEMBER, IDOK, IDCANCEL})
        SendMessageW(GetDlgItem(window, id), WM_SETFONT, reinterpret_cast<WPARAM>(fonts.arial12), FALSE);
    EnableWindow(GetDlgItem(window, IDOK), FALSE);
    SetForegroundWindow(window);
}

INT_PTR CALLBACK dialogProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        initDialog(window, *reinterpret_cast<ProxyPrompt*>(lParam));
        return TRUE;
    }
    auto* prompt = reinterpret_cast<ProxyPrompt*>(GetWindowLongPtrW(window, DWLP_USER));
    if (prompt == nullptr) return FALSE;
    switch (message) {
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_PROXY_USER && HIWORD(wParam) == EN_CHANGE) {
            EnableWindow(GetDlgItem(window, IDOK), GetWindowTextLengthW(GetDlgItem(window, IDC_PROXY_USER)) > 0);
        } else if (LOWORD(wParam) == IDOK) {
            prompt->credential.user = controlText(window, IDC_PROXY_USER);
            if (prompt->credential.user.empty()) return TRUE;  // nothing to send yet
            prompt->credential.password = controlText(window, IDC_PROXY_PASSWORD);
            prompt->remember = IsDlgButtonChecked(window, IDC_PROXY_REMEMBER) == BST_CHECKED;
            SetDlgItemTextW(window, IDC_PROXY_PASSWORD, L"");
            EndDialog(window, IDOK);
        } else if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(window, IDCANCEL);
        } else {
            return FALSE;
        }
        return TRUE;
    case WM_CTLCOLORSTATIC:
        SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
        return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
    default:
        return FALSE;
    }
}

} // namespace

bool askProxyCredential(HWND owner, const std::wstring& proxy, ProxyCredential& credential, bool& remember) {
    ProxyPrompt prompt;
    prompt.proxy = proxy;
    prompt.instance = owner ? reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(owner, GWLP_HINSTANCE)) : nullptr;
    if (!prompt.instance) prompt.instance = GetModuleHandleW(nullptr);
    const INT_PTR result = DialogBoxParamW(prompt.instance, MAKEINTRESOURCEW(IDD_PROXY_CREDENTIALS), owner,
                                           dialogProcedure, reinterpret_cast<LPARAM>(&prompt));
    if (result != IDOK) return false;
    credential = prompt.credential;
    remember = prompt.remember;
    return true;
}

} // namespace ornivel
