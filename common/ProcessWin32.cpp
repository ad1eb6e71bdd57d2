#include "common/Process.h"

#include <windows.h>

namespace ornivel {

uint32_t currentProcessId() { return GetCurrentProcessId(); }

void endProcessNow(int status) { ExitProcess(static_cast<UINT>(status)); }

uint64_t totalPhysicalMemory() {
    // GlobalMemoryStatus, as a 32-bit process sees it (capped below 4 GiB there).
    MEMORYSTATUS status{};
    status.dwLength = sizeof status;
    GlobalMemoryStatus(&status);
    return status.dwTotalPhys;
}

} // namespace ornivel
