#include "common/DebugOutput.h"

#include <windows.h>

namespace ornivel {

void debugOutput(const wchar_t* text) { OutputDebugStringW(text); }

} // namespace ornivel
