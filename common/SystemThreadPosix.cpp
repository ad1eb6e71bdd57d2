#include "common/SystemThread.h"

#include <pthread.h>

#include <cerrno>
#include <ctime>

#include "common/Guarded.h"

namespace ornivel {

namespace {

struct Start {
    SystemThread::Body body;
    void* context;
};

void* entry(void* parameter) {
    Start start = *static_cast<Start*>(parameter);
    delete static_cast<Start*>(parameter);
    guarded("a thread's entry", uint32_t{1}, [&] { return start.body(start.context); });
    return nullptr;
}

pthread_t& threadOf(void*& handle) { return *reinterpret_cast<pthread_t*>(&handle); }

} // namespace

static_assert(sizeof(pthread_t) <= sizeof(void*), "a pthread_t is kept in the handle field");

SystemThread::~SystemThread() {
    if (started_) pthread_detach(threadOf(handle_));
}

bool SystemThread::start(Body body, void* context, int) {
    if (started_) return false;
    auto* start = new Start{body, context};
    pthread_t thread;
    if (pthread_create(&thread, nullptr, &entry, start) != 0) {
        delete start;
        return false;
    }
    threadOf(handle_) = thread;
    // The id is a number for logs only; the pthread_t's own bits serve as well as any.
    id_ = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(handle_));
    started_ = true;
    return true;
}

SystemThread::WaitResult SystemThread::wait(uint32_t milliseconds) {
    if (!started_) return WaitResult::Ended;
    int result;
    if (milliseconds == kWaitForever) {
        result = pthread_join(threadOf(handle_), nullptr);
    } else {
        timespec until{};
        clock_gettime(CLOCK_REALTIME, &until);
        until.tv_sec += milliseconds / 1000;
        until.tv_nsec += static_cast<long>(milliseconds % 1000) * 1000000L;
        if (until.tv_nsec >= 1000000000L) {
            until.tv_sec += 1;
            until.tv_nsec -= 1000000000L;
        }
        result = pthread_timedjoin_np(threadOf(handle_), nullptr, &until);
        if (result == ETIMEDOUT) return WaitResult::TimedOut;
    }
    started_ = false;
    return result == 0 ? WaitResult::Ended : WaitResult::Failed;
}

} // namespace ornivel
