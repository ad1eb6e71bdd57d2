// Stands in for a new launcher version: writes "restarted.txt" in its current folder, in one
// piece: its command line, a line end, its current folder, a line end (UTF-8).
#include <windows.h>

#include <cstdio>
#include <string>

#include "common/Text.h"

int main() {
    using ornivel::toUtf8;
    const std::string text = toUtf8(GetCommandLineW()) + "\n" + toUtf8(ornivel::currentFolder()) + "\n";
    FILE* out = _wfopen(L"restarted.txt", L"wb");
    if (!out) return 3;
    const bool written = std::fwrite(text.data(), 1, text.size(), out) == text.size();
    return std::fclose(out) == 0 && written ? 0 : 4;
}
