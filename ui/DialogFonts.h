#pragma once
// The Arial fonts of the dialogs: made once per process and kept until it ends.
#include <windows.h>

namespace ornivel {

struct DialogFonts {
    HFONT arial16;
    HFONT arial12;
    HFONT arial11Underlined;
    HFONT arial10;
};

const DialogFonts& dialogFonts();

} // namespace ornivel
