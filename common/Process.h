#pragma once
// The running process and the machine it runs on.
#include <cstdint>

namespace ornivel {

uint32_t currentProcessId();
// Ends the process at once with the status: no static destruction, no clean-up of any kind
// (ExitProcess; _exit elsewhere).
[[noreturn]] void endProcessNow(int status);

enum class ProcessEnd {
    WithCleanUp,  // std::exit: atexit handlers and static destructors run
    Immediate,    // endProcessNow
};
// The one way the program ends itself: the first caller ends the process with the status;
// every later or concurrent caller (another thread, a second Cancel) waits forever for
// that end instead of ending the process a second time. An atexit handler must not call it.
[[noreturn]] void endProcessOnce(int status, ProcessEnd how = ProcessEnd::WithCleanUp);
// The machine's physical memory in bytes.
uint64_t totalPhysicalMemory();

} // namespace ornivel
