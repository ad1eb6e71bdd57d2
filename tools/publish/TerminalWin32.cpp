#include "Terminal.h"

#include <windows.h>

#include "sync/Utf16Text.h"

namespace ornivel::publish {

namespace {

// A console shows the text as UTF-16; a file or pipe gets the UTF-8 bytes.
void writeTo(DWORD which, const std::string& text) {
    HANDLE stream = GetStdHandle(which);
    if (stream == nullptr || stream == INVALID_HANDLE_VALUE) return;
    DWORD mode = 0;
    DWORD written = 0;
    std::wstring units;
    if (GetConsoleMode(stream, &mode) && utf16OfUtf8(text, units)) {
        WriteConsoleW(stream, units.data(), static_cast<DWORD>(units.size()), &written, nullptr);
    } else {
        WriteFile(stream, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    }
}

} // namespace

bool errorIsTerminal() {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != FALSE;
}

void writeError(const std::string& text) { writeTo(STD_ERROR_HANDLE, text); }

void writeOutput(const std::string& text) { writeTo(STD_OUTPUT_HANDLE, text); }

} // namespace ornivel::publish
