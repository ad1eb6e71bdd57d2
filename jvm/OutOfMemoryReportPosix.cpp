#include "jvm/ThreadWatchForOOM.h"

#include "common/DebugOutput.h"
#include "common/Process.h"

namespace ornivel {

void reportOutOfMemoryAndEnd() {
    debugOutput(L"Ornivel has run out of memory.\n");
    endProcessNow(0);
}

} // namespace ornivel
