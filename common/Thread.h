#pragma once
// A thread whose body is the virtual run(), on SystemThread: the one thread vocabulary of the
// program, for the Java host's threads and any other long-lived worker.
#include <cstdint>

#include "common/Event.h"
#include "common/SystemThread.h"

namespace ornivel {

class Thread {
public:
    // `priority`: kPriorityBelowNormal, kPriorityNormal or kPriorityAboveNormal (the Windows
    // thread priorities -1, 0 and 1).
    explicit Thread(int priority) : priority_(priority) {}
    virtual ~Thread();

    // Creates the thread (running at once) and sets its priority; false when the system
    // could not create it (started() stays false then, and a later start may try again).
    bool start();
    // Waits for the thread to end; true at once when it was never started or has already
    // been waited for. False when the wait failed or timed out (the thread then still runs).
    bool waitForEnd(uint32_t milliseconds = kWaitForever);
    bool started() const { return started_; }

    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

protected:
    virtual uint32_t run() = 0;

private:
    static uint32_t entry(void* self);

    SystemThread thread_;
    int priority_;
    bool started_ = false;
};

} // namespace ornivel
