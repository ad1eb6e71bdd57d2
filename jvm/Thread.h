#pragma once
// An operating-system thread whose body is the virtual run().
#include <windows.h>

#include "common/Handles.h"

namespace ornivel {

class Thread {
public:
    explicit Thread(int priority) : priority_(priority) {}
    virtual ~Thread();

    // Creates the thread (running at once) and sets its priority.
    void start();
    // Waits for the thread to end; true at once when it was never started or has already
    // been waited for. False when the wait failed or timed out (the thread then still runs).
    bool waitForEnd(DWORD milliseconds = INFINITE);
    bool started() const { return started_; }

    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

protected:
    virtual DWORD run() = 0;

private:
    static DWORD WINAPI entry(void* self);

    UniqueHandle handle_;
    DWORD id_ = 0;
    int priority_;
    bool started_ = false;
};

} // namespace ornivel
