// The login dialog's window set-up: layout in pixels, fonts, colours, tooltip, background.
#include <windows.h>
#include <commctrl.h>

#include "res/resource.h"
#include "ui/CDialogLogin.h"
#include "ui/DialogFonts.h"
#include "ui/Hyperlink.h"

namespace ornivel {

namespace {

constexpr int kClientWidth = 715;
constexpr int kClientHeight = 550;
const wchar_t* const kPicturePath = L"system/pictures/ornivel.bmp";

SIZE windowSize(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    return SIZE{r.right - r.left, r.bottom - r.top};
}

} // namespace

void CDialogLogin::initDialog() {
    rememberControls();
    layoutControls();
    setCallbackLink(window_, IDC_REQUEST_PASSWORD_LINK, requestPasswordLink, this);
    setPasswordStyle(false);
    showItems({IDC_SERVER_LIST, IDC_REQUEST_PASSWORD_LINK, IDC_PASSWORD, IDC_USER_ID, IDC_SERVER_LABEL,
               IDC_USER_ID_LABEL, IDC_PASSWORD_LABEL, IDC_LOGIN_OK, IDC_LOGIN_CANCEL, IDC_PLEASE_WAIT,
               IDC_SAVE_PASSWORD, IDC_SAVE_PASSWORD_LABEL},
              SW_HIDE);
    createTooltip();
}

void CDialogLogin::layoutControls() {
    HWND dialog = window_;
    SendMessageW(dialog, WM_SETICON, ICON_SMALL,
                 reinterpret_cast<LPARAM>(LoadImageW(instance_, MAKEINTRESOURCEW(IDI_ORNIVEL), IMAGE_ICON,
                                                     GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON),
                                                     LR_DEFAULTCOLOR)));

    // Client area of 715 × 550 pixels, centred over the parent (the desktop without one).
    RECT outer{}, client{};
    GetWindowRect(dialog, &outer);
    GetClientRect(dialog, &client);
    const int frameWidth = (outer.right - outer.left) - client.right;
    const int frameHeight = (outer.bottom - outer.top) - client.bottom;
    SetWindowPos(dialog, nullptr, 0, 0, frameWidth + kClientWidth, frameHeight + kClientHeight,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    centreWindow(dialog, GetParent(dialog));

    GetClientRect(dialog, &client);
    LoginLayoutInput in;
    in.width = client.right;
    in.height = client.bottom;
    const SIZE button = windowSize(item(IDC_LOGIN_OK));
    in.buttonWidth = button.cx;
    in.buttonHeight = button.cy;
    in.editHeight = windowSize(item(IDC_PASSWORD)).cy;
    in.checkWidth = GetSystemMetrics(SM_CXMENUCHECK);
    in.checkHeight = GetSystemMetrics(SM_CYMENUCHECK);
    const LoginLayout layout = layoutLogin(in);
    for (const auto& [id, box] : layout.controls) MoveWindow(item(id), box.left, box.top, box.width(), box.height(), FALSE);

    progressPanel_ = layout.progressPanel;
    MoveWindow(item(IDC_PLEASE_WAIT), progressPanel_.left, progressPanel_.top, progressPanel_.width(),
               progressPanel_.height(), FALSE);
    ShowWindow(item(IDC_PLEASE_WAIT), SW_HIDE);

    assignFonts();
    showItems({IDC_LEGAL_NOTICE, IDC_SUPPORT_PHONE, IDC_SUPPORT_MAIL}, SW_HIDE);
    placeLabels();
}

void CDialogLogin::assignFonts() {
    const DialogFonts& fonts = dialogFonts();
    auto set = [this](int id, HFONT font) { SendMessageW(item(id), WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE); };
    for (int id : {IDC_PLEASE_WAIT, IDC_UPDATING_TEXT}) set(id, fonts.arial16);
    for (int id : {IDC_SERVER_LABEL, IDC_USER_ID_LABEL, IDC_PASSWORD_LABEL, IDC_USER_ID, IDC_PASSWORD, IDC_SERVER_LIST,
                   IDC_SAVE_PASSWORD, IDC_SAVE_PASSWORD_LABEL, IDC_LOGIN_OK, IDC_LOGIN_CANCEL, IDC_STATUS_TEXT})
        set(id, fonts.arial12);
    set(IDC_REQUEST_PASSWORD_LINK, fonts.arial11Underlined);
    for (int id : {IDC_DETAIL_TEXT, IDC_SUPPORT_PHONE, IDC_SUPPORT_MAIL}) set(id, fonts.arial10);
}

void CDialogLogin::placeLabels() {
    RECT dialogOuter{};
    GetWindowRect(window_, &dialogOuter);
    const int pairs[][2] = {{IDC_USER_ID_LABEL, IDC_USER_ID}, {IDC_PASSWORD_LABEL, IDC_PASSWORD},
                            {IDC_SERVER_LABEL, IDC_SERVER_LIST}};
    for (const auto& pair : pairs) {
        RECT field{};
        GetWindowRect(item(pair[1]), &field);
        POINT topLeft{field.left, field.top};
        ScreenToClient(window_, &topLeft);
        // Right-aligned text ending just before the field.
        MoveWindow(item(pair[0]), 0, topLeft.y, (field.left - dialogOuter.left) - 12, field.bottom - field.top, FALSE);
    }
}

void CDialogLogin::createTooltip() {
    tooltip_ = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_BALLOON | TTS_NOPREFIX | TTS_ALWAYSTIP,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance_,
                               nullptr);
    if (!tooltip_) return;  // the dialog works without it
    LoadStringW(instance_, IDS_TOOLTIP_TEXT, tooltipText_, 1001);
    TOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = window_;
    tool.uId = reinterpret_cast<UINT_PTR>(item(IDC_REQUEST_PASSWORD_LINK));
    GetClientRect(window_, &tool.rect);
    tool.hinst = instance_;
    tool.lpszText = LPSTR_TEXTCALLBACKW;
    SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    const std::wstring title = loadString(IDS_TOOLTIP_TITLE);
    SendMessageW(tooltip_, TTM_SETTITLEW, TTI_INFO_LARGE, reinterpret_cast<LPARAM>(title.c_str()));
    SendMessageW(tooltip_, TTM_SETMAXTIPWIDTH, 0, 200);
}

bool CDialogLogin::eraseBackground(HDC dc) {
    if (!pictureTried_) {
        pictureTried_ = true;
        picture_.load(kPicturePath);
    }
    RECT client{};
    GetClientRect(window_, &client);
    HBRUSH white = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    if (!picture_.isLoaded()) {
        FillRect(dc, &client, white);
        return true;
    }
    const auto drawWhole = [this, &client, white](HDC target) {
        picture_.draw(target);
        // A picture smaller than the window leaves white stripes, not stale pixels.
        const SIZE size = picture_.pixelSize(target);
        RECT right{size.cx, 0, client.right, client.bottom};
        RECT below{0, size.cy, size.cx, client.bottom};
        if (right.left < right.right) FillRect(target, &right, white);
        if (below.top < below.bottom) FillRect(target, &below, white);
    };
    // Drawn once; every later erase (a changed progress text) copies only its own part.
    if (!background_.paint(dc, SIZE{client.right, client.bottom}, drawWhole)) drawWhole(dc);
    return true;
}

HBRUSH CDialogLogin::controlColour(HDC dc, HWND control) const {
    SetBkMode(dc, TRANSPARENT);
    switch (GetDlgCtrlID(control)) {
    case IDC_LEGAL_NOTICE: SetTextColor(dc, RGB(192, 192, 192)); break;
    case IDC_SUPPORT_PHONE:
    case IDC_SUPPORT_MAIL: SetTextColor(dc, RGB(144, 144, 144)); break;
    default: SetTextColor(dc, RGB(0, 0, 0)); break;
    }
    return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
}

} // namespace ornivel
