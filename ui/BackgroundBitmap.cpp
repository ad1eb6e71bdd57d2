#include "ui/BackgroundBitmap.h"

namespace ornivel {

namespace {

// A memory device context with a bitmap selected into it for as long as it lives.
class MemoryDC {
public:
    MemoryDC(HDC like, HBITMAP bitmap) : dc_(CreateCompatibleDC(like)) {
        if (dc_) previous_ = SelectObject(dc_, bitmap);
    }
    ~MemoryDC() {
        if (!dc_) return;
        SelectObject(dc_, previous_);
        DeleteDC(dc_);
    }
    MemoryDC(const MemoryDC&) = delete;
    MemoryDC& operator=(const MemoryDC&) = delete;
    HDC get() const { return dc_; }

private:
    HDC dc_;
    HGDIOBJ previous_ = nullptr;
};

} // namespace

BackgroundBitmap::~BackgroundBitmap() {
    if (bitmap_) DeleteObject(bitmap_);
}

bool BackgroundBitmap::paint(HDC dc, SIZE size, const std::function<void(HDC)>& drawWhole) {
    if (!bitmap_ || size.cx != size_.cx || size.cy != size_.cy) {
        if (bitmap_) DeleteObject(bitmap_);
        bitmap_ = CreateCompatibleBitmap(dc, size.cx, size.cy);
        size_ = size;
        if (!bitmap_) return false;
        MemoryDC whole(dc, bitmap_);
        if (!whole.get()) {
            DeleteObject(bitmap_);
            bitmap_ = nullptr;
            return false;
        }
        drawWhole(whole.get());
    }
    MemoryDC source(dc, bitmap_);
    RECT area{};
    if (!source.get() || GetClipBox(dc, &area) == ERROR) return false;
    return BitBlt(dc, area.left, area.top, area.right - area.left, area.bottom - area.top, source.get(), area.left,
                  area.top, SRCCOPY) != FALSE;
}

} // namespace ornivel
