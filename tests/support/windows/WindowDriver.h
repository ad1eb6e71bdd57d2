#pragma once
// Drives windows of this or another process with window messages, the way a user would:
// find a window, read and set control texts, click buttons, answer message boxes.
// Texts go through WM_GETTEXT/WM_SETTEXT with SendMessageTimeoutW, which also work for edit
// and combo controls of another process.
#include <windows.h>
#include <functional>
#include <string>
#include <vector>

namespace ornivel::test {

// Polls `condition` every 20 ms until it holds or `timeoutMs` passed; its last answer.
bool waitUntil(const std::function<bool()>& condition, DWORD timeoutMs = 10000);

struct WindowQuery {
    std::wstring className;  // empty: any class
    std::wstring title;      // empty: any title
    DWORD processId = 0;     // 0: any process
    HWND owner = nullptr;    // non-null: only windows owned by this one
    bool visibleOnly = true;
    int controlId = 0;       // non-zero: only windows that hold a control of this id
};

// The first top-level window matching the query, or null.
HWND findWindow(const WindowQuery& query);
// The same, waiting up to `timeoutMs` for it to appear.
HWND waitForWindow(const WindowQuery& query, DWORD timeoutMs = 10000);
std::vector<HWND> childWindows(HWND parent);

std::wstring windowText(HWND window);
bool setWindowText(HWND window, const std::wstring& text);
std::wstring controlText(HWND dialog, int id);
bool setControlText(HWND dialog, int id, const std::wstring& text);
bool controlVisible(HWND dialog, int id);
bool controlEnabled(HWND dialog, int id);
// The rectangle of a control in its parent's client coordinates.
RECT controlRect(HWND dialog, int id);

// Posts the click of a button (WM_COMMAND with BN_CLICKED), so that a modal loop started by
// the click does not block the caller.
bool clickButton(HWND dialog, int id);
// Posts the keystroke Alt+F4 to a window (its default handling closes it).
bool pressAltF4(HWND window);

// Message boxes: "#32770" windows whose text control has the id 0xFFFF, whatever other
// dialogs the process shows in front of them or behind them.
HWND waitForMessageBox(DWORD processId, DWORD timeoutMs = 10000, HWND owner = nullptr);
std::wstring messageBoxText(HWND box);
bool answerMessageBox(HWND box, int buttonId = IDOK);
// Whether the box shows an icon (a visible static control holding one: id 0x14 on Windows,
// 0x440 in Wine).
bool messageBoxShowsIcon(HWND box);

} // namespace ornivel::test
