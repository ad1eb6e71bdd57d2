#include "ui/Hyperlink.h"

#include <shellapi.h>
#include <cstdint>
#include <cwchar>
#include <map>

#include "ui/CallbackTarget.h"
#include "ui/WindowGeometry.h"
#include "common/Guarded.h"
#include "common/Lock.h"

namespace ornivel {

namespace {

const wchar_t* const kLinkProperty = L"href_dat";
const wchar_t* const kDialogProperty = L"href_dlg";

struct LinkData {
    wchar_t* target;     // heap copy owned by the block
    WNDPROC previous;
    LONG_PTR reserved[2];
};

struct LinkDialogData {
    LONG_PTR reserved0;
    WNDPROC previous;
    HFONT linkFont;      // made on the first link paint
    LONG_PTR reserved1;
};

// The blocks are also remembered here, by window: the dialog's procedure runs for every
// message of the dialog and asks for its block each time, and for the link's at every colour
// query of a static control, while a property look-up asks the window system (a round trip
// to another process under Wine). The properties stay where the blocks live; the table only
// mirrors them, from setHyperlink to WM_DESTROY.
struct KnownBlocks {
    Lock lock;
    std::map<HWND, HANDLE> links;
    std::map<HWND, HANDLE> dialogs;
};

KnownBlocks& knownBlocks() {
    static KnownBlocks* blocks = new KnownBlocks;  // used by window procedures until the end
    return *blocks;
}

HANDLE knownBlock(std::map<HWND, HANDLE> KnownBlocks::*table, HWND window) {
    KnownBlocks& known = knownBlocks();
    LockGuard guard(known.lock);
    const auto found = (known.*table).find(window);
    return found == (known.*table).end() ? nullptr : found->second;
}

void rememberBlock(std::map<HWND, HANDLE> KnownBlocks::*table, HWND window, HANDLE block) {
    KnownBlocks& known = knownBlocks();
    LockGuard guard(known.lock);
    if (block)
        (known.*table)[window] = block;
    else
        (known.*table).erase(window);
}

wchar_t* copyText(const std::wstring& text) {
    auto* copy = new wchar_t[text.size() + 1];
    wmemcpy(copy, text.c_str(), text.size() + 1);
    return copy;
}

// Locks a movable block for the lifetime of the object.
template <typename T>
class LockedBlock {
public:
    explicit LockedBlock(HANDLE block) : block_(block), data_(block ? static_cast<T*>(GlobalLock(block)) : nullptr) {}
    ~LockedBlock() {
        if (data_) GlobalUnlock(block_);
    }
    LockedBlock(const LockedBlock&) = delete;
    LockedBlock& operator=(const LockedBlock&) = delete;
    T* operator->() const { return data_; }
    explicit operator bool() const { return data_ != nullptr; }

private:
    HANDLE block_;
    T* data_;
};

template <typename T>
HGLOBAL newBlock(const T& value) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(T));
    if (!block) return nullptr;
    if (T* data = static_cast<T*>(GlobalLock(block))) {
        *data = value;
        GlobalUnlock(block);
    }
    return block;
}

void runTarget(HWND control, const std::wstring& target) {
    if (isCallbackTarget(target)) {
        uintptr_t routine = 0, argument = 0;
        // Only texts made by setCallbackLink are run; anything unreadable is ignored.
        if (parseCallbackTarget(target, routine, argument) && routine != 0)
            reinterpret_cast<LinkCallback>(routine)(reinterpret_cast<void*>(argument));
        return;
    }
    HWND owner = GetParent(control);
    if (!owner) owner = control;
    ShellExecuteW(owner, L"open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

LRESULT CALLBACK linkProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return guarded("a link's window procedure", LRESULT{0}, [&]() -> LRESULT {
        HANDLE block = knownBlock(&KnownBlocks::links, window);
        WNDPROC previous = nullptr;
        std::wstring target;
        {
            LockedBlock<LinkData> data(block);
            if (!data) return DefWindowProcW(window, message, wParam, lParam);
            previous = data->previous;
            if (message == WM_LBUTTONDOWN && data->target) target = data->target;
        }
        switch (message) {
        case WM_SETCURSOR:
            SetCursor(LoadCursorW(nullptr, IDC_HAND));
            return TRUE;
        case WM_NCHITTEST:
            return HTCLIENT;
        case WM_LBUTTONDOWN:
            runTarget(window, target);
            break;
        case WM_DESTROY:
            rememberBlock(&KnownBlocks::links, window, nullptr);
            RemovePropW(window, kLinkProperty);
            {
                LockedBlock<LinkData> data(block);
                if (data) delete[] data->target;
            }
            GlobalFree(block);
            break;
        default:
            break;
        }
        return CallWindowProcW(previous, window, message, wParam, lParam);
    });
}

HFONT underlinedCopyOfSelectedFont(HDC dc) {
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    LOGFONTW font{};
    font.lfHeight = metrics.tmHeight;
    font.lfWeight = metrics.tmWeight;
    font.lfItalic = metrics.tmItalic;
    font.lfUnderline = TRUE;
    font.lfStrikeOut = metrics.tmStruckOut;
    font.lfCharSet = metrics.tmCharSet;
    font.lfPitchAndFamily = metrics.tmPitchAndFamily;
    GetTextFaceW(dc, LF_FACESIZE, font.lfFaceName);
    return CreateFontIndirectW(&font);
}

LRESULT CALLBACK linkParentProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    return guarded("a link dialog's window procedure", LRESULT{0}, [&]() -> LRESULT {
        HANDLE block = knownBlock(&KnownBlocks::dialogs, dialog);
        WNDPROC previous = nullptr;
        {
            LockedBlock<LinkDialogData> data(block);
            if (!data) return DefWindowProcW(dialog, message, wParam, lParam);
            previous = data->previous;

            if (message == WM_CTLCOLORSTATIC && knownBlock(&KnownBlocks::links, reinterpret_cast<HWND>(lParam))) {
                HDC dc = reinterpret_cast<HDC>(wParam);
                SetTextColor(dc, RGB(0, 0, 255));
                SetBkMode(dc, TRANSPARENT);
                SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
                if (!data->linkFont) data->linkFont = underlinedCopyOfSelectedFont(dc);
                if (data->linkFont) SelectObject(dc, data->linkFont);
                return reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
            }
            if (message == WM_DESTROY) {
                rememberBlock(&KnownBlocks::dialogs, dialog, nullptr);
                RemovePropW(dialog, kDialogProperty);
                if (data->linkFont) DeleteObject(data->linkFont);
                data->linkFont = nullptr;
            }
        }
        if (message == WM_DESTROY) GlobalFree(block);
        return CallWindowProcW(previous, dialog, message, wParam, lParam);
    });
}

} // namespace

void setHyperlink(HWND dialog, int id, const std::wstring& target) {
    HWND control = GetDlgItem(dialog, id);
    if (!control) return;

    if (HANDLE existing = GetPropW(control, kLinkProperty)) {
        LockedBlock<LinkData> data(existing);
        if (data) {
            delete[] data->target;
            data->target = copyText(target);
        }
    } else {
        LinkData link{};
        link.target = copyText(target);
        link.previous = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(control, GWLP_WNDPROC));
        HGLOBAL block = newBlock(link);
        if (!block || !SetPropW(control, kLinkProperty, block)) {
            delete[] link.target;
            if (block) GlobalFree(block);
            return;
        }
        rememberBlock(&KnownBlocks::links, control, block);
        SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(linkProcedure));
    }

    if (!GetPropW(dialog, kDialogProperty)) {
        LinkDialogData dialogData{};
        dialogData.previous = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(dialog, GWLP_WNDPROC));
        HGLOBAL block = newBlock(dialogData);
        if (!block || !SetPropW(dialog, kDialogProperty, block)) {
            if (block) GlobalFree(block);
            return;
        }
        rememberBlock(&KnownBlocks::dialogs, dialog, block);
        SetWindowLongPtrW(dialog, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(linkParentProcedure));
    }
}

void setCallbackLink(HWND dialog, int id, LinkCallback routine, void* argument) {
    setHyperlink(dialog, id,
                 formatCallbackTarget(reinterpret_cast<uintptr_t>(routine), reinterpret_cast<uintptr_t>(argument)));
}

std::wstring hyperlinkTarget(HWND control) {
    LockedBlock<LinkData> data(GetPropW(control, kLinkProperty));
    if (!data || !data->target) return {};
    return data->target;
}

bool centreWindow(HWND window, HWND reference) {
    if (!reference) reference = GetDesktopWindow();
    RECT own{}, ref{};
    GetWindowRect(window, &own);
    GetWindowRect(reference, &ref);
    const int w = own.right - own.left, h = own.bottom - own.top;
    Point p = centredPosition(w, h, Box{ref.left, ref.top, ref.right, ref.bottom}, GetSystemMetrics(SM_CXSCREEN),
                              GetSystemMetrics(SM_CYSCREEN));
    MoveWindow(window, p.x, p.y, w, h, FALSE);
    return true;
}

} // namespace ornivel
