#pragma once
// A thread of the operating system running a function.
#include <cstdint>

#include "common/Event.h"

namespace ornivel {

// Thread priorities, with the values Windows gives them.
constexpr int kPriorityBelowNormal = -1;
constexpr int kPriorityNormal = 0;
constexpr int kPriorityAboveNormal = 1;

class SystemThread {
public:
    using Body = uint32_t (*)(void* context);
    enum class WaitResult { Ended, TimedOut, Failed };

    SystemThread() = default;
    // Forgets a thread that was not waited for; the thread itself runs on.
    ~SystemThread();
    SystemThread(const SystemThread&) = delete;
    SystemThread& operator=(const SystemThread&) = delete;

    // Runs body(context) at once on a new thread with the given priority. Where the system
    // gives ordinary processes no thread priorities (POSIX), the priority is not applied.
    bool start(Body body, void* context, int priority);
    // Whether there is a started thread that has not been waited for to its end.
    bool joinable() const { return started_; }
    // Waits for the thread's end. After Ended or Failed the thread is forgotten; after a
    // time-out it can be waited for again.
    WaitResult wait(uint32_t milliseconds = kWaitForever);
    uint32_t id() const { return id_; }

private:
    void* handle_ = nullptr;
    uint32_t id_ = 0;
    bool started_ = false;
};

} // namespace ornivel
