#include "Terminal.h"

#include <windows.h>

#include "common/Utf16.h"

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

bool readInput(const std::function<void(std::string_view)>& onPiece) {
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    if (input == nullptr || input == INVALID_HANDLE_VALUE) return false;
    std::string buffer(65536, '\0');
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(input, &buffer[0], static_cast<DWORD>(buffer.size()), &got, nullptr))
            return GetLastError() == ERROR_BROKEN_PIPE;  // the writing end has closed the pipe
        if (got == 0) return true;
        onPiece(std::string_view(buffer.data(), got));
    }
}

} // namespace ornivel::publish
