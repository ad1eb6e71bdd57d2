#include "tests/support/windows/WindowDriver.h"

namespace ornivel::test {

namespace {

constexpr UINT kMessageTimeoutMs = 5000;

std::wstring classOf(HWND window) {
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return name;
}

struct Search {
    const WindowQuery* query;
    HWND found = nullptr;
};

BOOL CALLBACK matchWindow(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<Search*>(parameter);
    const WindowQuery& q = *search->query;
    if (q.visibleOnly && !IsWindowVisible(window)) return TRUE;
    if (q.processId) {
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        if (process != q.processId) return TRUE;
    }
    if (q.owner && GetWindow(window, GW_OWNER) != q.owner) return TRUE;
    if (!q.className.empty() && classOf(window) != q.className) return TRUE;
    if (!q.title.empty() && windowText(window) != q.title) return TRUE;
    if (q.controlId && !GetDlgItem(window, q.controlId)) return TRUE;
    search->found = window;
    return FALSE;
}

BOOL CALLBACK collectChild(HWND window, LPARAM parameter) {
    auto* list = reinterpret_cast<std::vector<HWND>*>(parameter);
    if (GetParent(window) == (list->empty() ? nullptr : (*list)[0])) list->push_back(window);
    return TRUE;
}

} // namespace

bool waitUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        if (condition()) return true;
        if (GetTickCount() - start >= timeoutMs) return condition();
        Sleep(20);
    }
}

HWND findWindow(const WindowQuery& query) {
    Search search{&query};
    EnumWindows(matchWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND waitForWindow(const WindowQuery& query, DWORD timeoutMs) {
    HWND found = nullptr;
    waitUntil([&] { return (found = findWindow(query)) != nullptr; }, timeoutMs);
    return found;
}

std::vector<HWND> childWindows(HWND parent) {
    std::vector<HWND> list{parent};
    EnumChildWindows(parent, collectChild, reinterpret_cast<LPARAM>(&list));
    list.erase(list.begin());
    return list;
}

std::wstring windowText(HWND window) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kMessageTimeoutMs, &length)) return {};
    std::wstring text(length + 1, L'\0');
    DWORD_PTR got = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG,
                             kMessageTimeoutMs, &got))
        return {};
    text.resize(got);
    return text;
}

bool setWindowText(HWND window, const std::wstring& text) {
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG,
                               kMessageTimeoutMs, &result) != 0;
}

std::wstring controlText(HWND dialog, int id) { return windowText(GetDlgItem(dialog, id)); }
bool setControlText(HWND dialog, int id, const std::wstring& text) { return setWindowText(GetDlgItem(dialog, id), text); }
bool controlVisible(HWND dialog, int id) { return IsWindowVisible(GetDlgItem(dialog, id)) != FALSE; }
bool controlEnabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }

RECT controlRect(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    RECT r{};
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

bool clickButton(HWND dialog, int id) {
    HWND button = GetDlgItem(dialog, id);
    return PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button)) != FALSE;
}

bool pressAltF4(HWND window) {
    // Context code (bit 29) set: the Alt key is down.
    const LPARAM down = 1 | (MapVirtualKeyW(VK_F4, 0) << 16) | (1 << 29);
    return PostMessageW(window, WM_SYSKEYDOWN, VK_F4, down) != FALSE;
}

HWND waitForMessageBox(DWORD processId, DWORD timeoutMs, HWND owner) {
    WindowQuery query;
    query.className = L"#32770";
    query.processId = processId;
    query.owner = owner;
    query.controlId = 0xFFFF;
    return waitForWindow(query, timeoutMs);
}

std::wstring messageBoxText(HWND box) { return controlText(box, 0xFFFF); }

bool answerMessageBox(HWND box, int buttonId) { return clickButton(box, buttonId); }

bool messageBoxShowsIcon(HWND box) {
    for (int id : {0x14, 0x440}) {
        HWND icon = GetDlgItem(box, id);
        if (icon && IsWindowVisible(icon) && SendMessageW(icon, STM_GETICON, 0, 0)) return true;
    }
    return false;
}

} // namespace ornivel::test
