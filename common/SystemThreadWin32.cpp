#include "common/SystemThread.h"

#include <windows.h>

#include "common/Guarded.h"

namespace ornivel {

namespace {

struct Start {
    SystemThread::Body body;
    void* context;
};

DWORD WINAPI entry(void* parameter) {
    Start start = *static_cast<Start*>(parameter);
    delete static_cast<Start*>(parameter);
    return guarded("a thread's entry", uint32_t{1}, [&] { return start.body(start.context); });
}

} // namespace

SystemThread::~SystemThread() {
    if (started_) CloseHandle(handle_);
}

bool SystemThread::start(Body body, void* context, int priority) {
    if (started_) return false;
    auto* start = new Start{body, context};
    DWORD id = 0;
    HANDLE handle = CreateThread(nullptr, 0, &entry, start, 0, &id);
    if (!handle) {
        delete start;
        return false;
    }
    handle_ = handle;
    id_ = id;
    started_ = true;
    SetThreadPriority(handle, priority);
    return true;
}

SystemThread::WaitResult SystemThread::wait(uint32_t milliseconds) {
    if (!started_) return WaitResult::Ended;
    DWORD result = WaitForSingleObject(handle_, milliseconds);
    if (result == WAIT_TIMEOUT) return WaitResult::TimedOut;
    CloseHandle(handle_);
    handle_ = nullptr;
    started_ = false;
    return result == WAIT_FAILED ? WaitResult::Failed : WaitResult::Ended;
}

} // namespace ornivel
