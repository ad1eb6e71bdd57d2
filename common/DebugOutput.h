#pragma once
// The debugger output: texts for a developer watching the program with a debugger
// (OutputDebugStringW). Where there is no such channel (POSIX), they go to standard error.
#include <string>

namespace ornivel {

void debugOutput(const wchar_t* text);
inline void debugOutput(const std::wstring& text) { debugOutput(text.c_str()); }

} // namespace ornivel
