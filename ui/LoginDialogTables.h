#pragma once
// Process-wide tables of the login dialog, all under one lock: which object a dialog window
// belongs to, and the foreign windows whose messages the watcher forwards.
#include <windows.h>
#include <vector>

namespace ornivel {

class CDialogLogin;

void registerLoginDialog(HWND window, CDialogLogin* dialog);
void unregisterLoginDialog(HWND window);
CDialogLogin* findLoginDialog(HWND window);

// Enters `window` with its current procedure and gives it the forwarding procedure; false
// when it is already redirected.
bool redirectWindow(HWND window);
bool isRedirected(HWND window);
std::vector<HWND> redirectedWindowList();

} // namespace ornivel
