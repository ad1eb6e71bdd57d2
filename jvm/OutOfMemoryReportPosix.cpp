#include "jvm/HeapDumpWatchThread.h"

#include "common/DebugOutput.h"
#include "common/Process.h"

namespace ornivel {

void reportOutOfMemoryAndEnd() {
    debugOutput(L"Ornivel has run out of memory.\n");
    endProcessOnce(0, ProcessEnd::Immediate);
}

} // namespace ornivel
