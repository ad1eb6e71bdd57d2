#pragma once
// The running process and the machine it runs on.
#include <cstdint>

namespace ornivel {

uint32_t currentProcessId();
// Ends the process at once with the status: no static destruction, no clean-up of any kind
// (ExitProcess; _exit elsewhere).
[[noreturn]] void endProcessNow(int status);
// The machine's physical memory in bytes.
uint64_t totalPhysicalMemory();

} // namespace ornivel
