#pragma once
// A window's background drawn once into a bitmap of its own, so that each later erase
// copies only the part that needs painting instead of drawing the whole background again.
#include <windows.h>

#include <functional>
#include <memory>

#include "common/Handles.h"

namespace ornivel {

class BackgroundBitmap {
public:
    BackgroundBitmap();
    ~BackgroundBitmap();
    BackgroundBitmap(const BackgroundBitmap&) = delete;
    BackgroundBitmap& operator=(const BackgroundBitmap&) = delete;

    // Copies the part of the background within `dc`'s clipping area into `dc`; the first
    // time, and whenever `size` differs from the size drawn, `drawWhole` draws the whole
    // background into a bitmap compatible with `dc` first. False when no bitmap could be
    // made (then nothing is drawn).
    bool paint(HDC dc, SIZE size, const std::function<void(HDC)>& drawWhole);

private:
    struct GdiObjectTraits {
        using Value = HGDIOBJ;
        static Value invalid() noexcept { return nullptr; }
        static bool isValid(Value v) noexcept { return v != nullptr; }
        static void close(Value v) noexcept { ::DeleteObject(v); }
    };
    class MemoryDC;

    // Declared before the context that holds it selected, so that it goes after it.
    UniqueResource<GdiObjectTraits> bitmap_;
    // The memory context stays with its bitmap for the object's life: making one for each
    // erase asks the window system for its display settings every time.
    std::unique_ptr<MemoryDC> memory_;
    SIZE size_{0, 0};
};

} // namespace ornivel
