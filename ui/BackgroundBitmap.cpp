#include "ui/BackgroundBitmap.h"

namespace ornivel {

BackgroundBitmap::~BackgroundBitmap() { release(); }

void BackgroundBitmap::release() {
    if (memory_) {
        SelectObject(memory_, previous_);
        DeleteDC(memory_);
    }
    if (bitmap_) DeleteObject(bitmap_);
    memory_ = nullptr;
    previous_ = nullptr;
    bitmap_ = nullptr;
}

bool BackgroundBitmap::paint(HDC dc, SIZE size, const std::function<void(HDC)>& drawWhole) {
    if (!bitmap_ || size.cx != size_.cx || size.cy != size_.cy) {
        release();
        size_ = size;
        bitmap_ = CreateCompatibleBitmap(dc, size.cx, size.cy);
        if (!bitmap_) return false;
        // The memory context stays with its bitmap for the object's life: making one for each
        // erase asks the window system for its display settings every time.
        memory_ = CreateCompatibleDC(dc);
        if (!memory_) {
            release();
            return false;
        }
        previous_ = SelectObject(memory_, bitmap_);
        drawWhole(memory_);
    }
    RECT area{};
    if (GetClipBox(dc, &area) == ERROR) return false;
    return BitBlt(dc, area.left, area.top, area.right - area.left, area.bottom - area.top, memory_, area.left,
                  area.top, SRCCOPY) != FALSE;
}

} // namespace ornivel
