#include "ui/DialogFonts.h"

namespace ornivel {

namespace {

HFONT arial(int pixelHeight, bool underline) {
    return CreateFontW(-pixelHeight, 0, 0, 0, FW_NORMAL, FALSE, underline, FALSE, 0, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH, L"Arial");
}

} // namespace

const DialogFonts& dialogFonts() {
    static const DialogFonts fonts{arial(16, false), arial(12, false), arial(11, true), arial(10, false)};
    return fonts;
}

} // namespace ornivel
