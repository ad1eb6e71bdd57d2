#include "jvm/Thread.h"

namespace ornivel {

Thread::~Thread() { waitForEnd(INFINITE); }

DWORD WINAPI Thread::entry(void* self) {
    // No exception may leave a thread's entry.
    try {
        return static_cast<Thread*>(self)->run();
    } catch (...) {
        return 1;
    }
}

void Thread::start() {
    handle_.reset(CreateThread(nullptr, 0, &Thread::entry, this, 0, &id_));
    SetThreadPriority(handle_.get(), priority_);
}

bool Thread::waitForEnd(DWORD milliseconds) {
    if (!handle_) return true;
    bool ok = WaitForSingleObject(handle_.get(), milliseconds) != WAIT_FAILED;
    handle_.reset();
    return ok;
}

} // namespace ornivel
