#include "ui/LoginDialogTables.h"

#include "common/PointerTable.h"
#include "common/Guarded.h"

namespace ornivel {

namespace {

// Never destroyed: the dialog thread may end the process while other threads still use them.
PointerTable<CDialogLogin*>& dialogByWindow() {
    static auto* table = new PointerTable<CDialogLogin*>;
    return *table;
}

PointerTable<WNDPROC>& redirectedWindows() {
    static auto* table = new PointerTable<WNDPROC>;
    return *table;
}

LRESULT CALLBACK forwardingProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return guarded("the forwarding window procedure", LRESULT{0}, [&]() -> LRESULT {
        WNDPROC previous = redirectedWindows().find(window);
        return previous ? CallWindowProcW(previous, window, message, wParam, lParam) : 0;
    });
}

} // namespace

void registerLoginDialog(HWND window, CDialogLogin* dialog) { dialogByWindow().set(window, dialog); }

void unregisterLoginDialog(HWND window) { dialogByWindow().erase(window); }

CDialogLogin* findLoginDialog(HWND window) { return dialogByWindow().find(window); }

bool isRedirected(HWND window) {
    return reinterpret_cast<WNDPROC>(GetWindowLongPtrW(window, GWLP_WNDPROC)) == forwardingProcedure;
}

bool redirectWindow(HWND window) {
    if (isRedirected(window)) return false;
    redirectedWindows().set(window, reinterpret_cast<WNDPROC>(GetWindowLongPtrW(window, GWLP_WNDPROC)));
    SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(forwardingProcedure));
    LONG_PTR exStyle = GetWindowLongPtrW(window, GWL_EXSTYLE);
    SetWindowLongPtrW(window, GWL_EXSTYLE, (exStyle & ~static_cast<LONG_PTR>(WS_EX_APPWINDOW)) | WS_EX_TOOLWINDOW);
    return true;
}

std::vector<HWND> redirectedWindowList() {
    std::vector<HWND> list;
    for (const void* key : redirectedWindows().keys()) list.push_back(static_cast<HWND>(const_cast<void*>(key)));
    return list;
}

} // namespace ornivel
