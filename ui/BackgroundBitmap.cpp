#include "ui/BackgroundBitmap.h"

namespace ornivel {

// A memory device context with a bitmap selected into it for as long as it lives.
class BackgroundBitmap::MemoryDC {
public:
    MemoryDC(HDC like, HGDIOBJ bitmap) : dc_(CreateCompatibleDC(like)) {
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

BackgroundBitmap::BackgroundBitmap() = default;
BackgroundBitmap::~BackgroundBitmap() = default;

bool BackgroundBitmap::paint(HDC dc, SIZE size, const std::function<void(HDC)>& drawWhole) {
    if (!bitmap_ || size.cx != size_.cx || size.cy != size_.cy) {
        memory_.reset();
        size_ = size;
        bitmap_.reset(CreateCompatibleBitmap(dc, size.cx, size.cy));
        if (!bitmap_) return false;
        memory_ = std::make_unique<MemoryDC>(dc, bitmap_.get());
        if (!memory_->get()) {
            memory_.reset();
            bitmap_.reset();
            return false;
        }
        drawWhole(memory_->get());
    }
    RECT area{};
    if (GetClipBox(dc, &area) == ERROR) return false;
    return BitBlt(dc, area.left, area.top, area.right - area.left, area.bottom - area.top, memory_->get(), area.left,
                  area.top, SRCCOPY) != FALSE;
}

} // namespace ornivel
