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
    if (started_) return;
    started_ = true;
    handle_.reset(CreateThread(nullptr, 0, &Thread::entry, this, 0, &id_));
    SetThreadPriority(handle_.get(), priority_);
}

bool Thread::waitForEnd(DWORD milliseconds) {
    if (!handle_) return true;
    DWORD result = WaitForSingleObject(handle_.get(), milliseconds);
    // A thread that is still running keeps its handle, so that a later wait still works.
    if (result == WAIT_TIMEOUT) return false;
    handle_.reset();
    return result != WAIT_FAILED;
}

} // namespace ornivel
