#include "jvm/ThreadWatchForOOM.h"

#include <windows.h>

namespace ornivel {

void reportOutOfMemoryAndEnd() {
    MessageBoxW(nullptr, L"Ornivel has run out of memory. Press OK to terminate.", L"Out Of Memory", MB_OK);
    ExitProcess(0);
}

} // namespace ornivel
