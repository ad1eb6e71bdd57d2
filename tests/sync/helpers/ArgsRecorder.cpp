// Stands in for a new launcher version: records its command line in "restarted.txt" in the
// current folder.
#include <windows.h>

#include <cstdio>

int main() {
    FILE* out = _wfopen(L"restarted.txt", L"wb");
    if (!out) return 3;
    const wchar_t* line = GetCommandLineW();
    int n = WideCharToMultiByte(CP_UTF8, 0, line, -1, nullptr, 0, nullptr, nullptr);
    char* text = new char[n];
    WideCharToMultiByte(CP_UTF8, 0, line, -1, text, n, nullptr, nullptr);
    std::fputs(text, out);
    delete[] text;
    std::fclose(out);
    return 0;
}
