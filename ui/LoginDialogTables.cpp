#include "ui/LoginDialogTables.h"

#include <map>
#include <mutex>

namespace ornivel {

namespace {

// Never destroyed: the dialog thread may end the process while other threads still use them.
struct Tables {
    std::mutex lock;
    std::map<HWND, CDialogLogin*> dialogByWindow;
    std::map<HWND, WNDPROC> redirectedWindows;
};

Tables& tables() {
    static Tables* instance = new Tables;
    return *instance;
}

LRESULT CALLBACK forwardingProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    WNDPROC previous = nullptr;
    {
        std::lock_guard<std::mutex> guard(tables().lock);
        auto found = tables().redirectedWindows.find(window);
        if (found != tables().redirectedWindows.end()) previous = found->second;
    }
    return previous ? CallWindowProcW(previous, window, message, wParam, lParam) : 0;
}

} // namespace

void registerLoginDialog(HWND window, CDialogLogin* dialog) {
    std::lock_guard<std::mutex> guard(tables().lock);
    tables().dialogByWindow[window] = dialog;
}

void unregisterLoginDialog(HWND window) {
    std::lock_guard<std::mutex> guard(tables().lock);
    tables().dialogByWindow.erase(window);
}

CDialogLogin* findLoginDialog(HWND window) {
    std::lock_guard<std::mutex> guard(tables().lock);
    auto found = tables().dialogByWindow.find(window);
    return found == tables().dialogByWindow.end() ? nullptr : found->second;
}

bool isRedirected(HWND window) {
    return reinterpret_cast<WNDPROC>(GetWindowLongPtrW(window, GWLP_WNDPROC)) == forwardingProcedure;
}

bool redirectWindow(HWND window) {
    if (isRedirected(window)) return false;
    {
        std::lock_guard<std::mutex> guard(tables().lock);
        tables().redirectedWindows[window] = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(window, GWLP_WNDPROC));
    }
    SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(forwardingProcedure));
    LONG_PTR exStyle = GetWindowLongPtrW(window, GWL_EXSTYLE);
    SetWindowLongPtrW(window, GWL_EXSTYLE, (exStyle & ~static_cast<LONG_PTR>(WS_EX_APPWINDOW)) | WS_EX_TOOLWINDOW);
    return true;
}

std::vector<HWND> redirectedWindowList() {
    std::lock_guard<std::mutex> guard(tables().lock);
    std::vector<HWND> list;
    for (const auto& entry : tables().redirectedWindows) list.push_back(entry.first);
    return list;
}

} // namespace ornivel
