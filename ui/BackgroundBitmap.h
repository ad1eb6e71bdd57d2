#pragma once
// A window's background drawn once into a bitmap of its own, so that each later erase
// copies only the part that needs painting instead of drawing the whole background again.
#include <windows.h>

#include <functional>

namespace ornivel {

class BackgroundBitmap {
public:
    BackgroundBitmap() = default;
    ~BackgroundBitmap();
    BackgroundBitmap(const BackgroundBitmap&) = delete;
    BackgroundBitmap& operator=(const BackgroundBitmap&) = delete;

    // Copies the part of the background within `dc`'s clipping area into `dc`; the first
    // time, and whenever `size` differs from the size drawn, `drawWhole` draws the whole
    // background into a bitmap compatible with `dc` first. False when no bitmap could be
    // made (then nothing is drawn).
    bool paint(HDC dc, SIZE size, const std::function<void(HDC)>& drawWhole);

private:
    void release();

    HBITMAP bitmap_ = nullptr;
    HDC memory_ = nullptr;  // holds bitmap_ selected
    HGDIOBJ previous_ = nullptr;
    SIZE size_{0, 0};
};

} // namespace ornivel
