#include "jvm/HeapDumpWatchThread.h"

#include <windows.h>

#include "common/Process.h"

namespace ornivel {

void reportOutOfMemoryAndEnd() {
    MessageBoxW(nullptr, L"Ornivel has run out of memory. Press OK to terminate.", L"Out Of Memory", MB_OK);
    endProcessOnce(0, ProcessEnd::Immediate);
}

} // namespace ornivel
