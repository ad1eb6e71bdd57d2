#include "common/Thread.h"

namespace ornivel {

Thread::~Thread() { waitForEnd(kWaitForever); }

uint32_t Thread::entry(void* self) { return static_cast<Thread*>(self)->run(); }

bool Thread::start() {
    if (started_) return true;
    started_ = thread_.start(&Thread::entry, this, priority_);
    return started_;
}

bool Thread::waitForEnd(uint32_t milliseconds) {
    // A thread that is still running stays known, so that a later wait still works.
    return thread_.wait(milliseconds) == SystemThread::WaitResult::Ended;
}

} // namespace ornivel
