#include "common/Process.h"

#include <unistd.h>

namespace ornivel {

uint32_t currentProcessId() { return static_cast<uint32_t>(getpid()); }

void endProcessNow(int status) { _exit(status); }

uint64_t totalPhysicalMemory() {
    long pages = sysconf(_SC_PHYS_PAGES);
    long pageSize = sysconf(_SC_PAGESIZE);
    return pages > 0 && pageSize > 0 ? static_cast<uint64_t>(pages) * static_cast<uint64_t>(pageSize) : 0;
}

} // namespace ornivel
