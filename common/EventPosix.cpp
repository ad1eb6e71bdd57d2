#include "common/Event.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace ornivel {

namespace {

// All events share one mutex and one condition variable, so that a thread can wait for
// either of two events. There are only a few events, and they are rarely signalled.
std::mutex& eventMutex() {
    static std::mutex* mutex = new std::mutex;
    return *mutex;
}

std::condition_variable& eventChanged() {
    static std::condition_variable* changed = new std::condition_variable;
    return *changed;
}

} // namespace

struct Event::State {
    bool manual;
    bool signalled = false;
};

Event::Event(Reset reset) : state_(new State{reset == Reset::Manual}) {}

Event::~Event() { delete state_; }

void Event::set() {
    {
        std::lock_guard<std::mutex> guard(eventMutex());
        state_->signalled = true;
    }
    eventChanged().notify_all();
}

void Event::reset() {
    std::lock_guard<std::mutex> guard(eventMutex());
    state_->signalled = false;
}

bool Event::wait(uint32_t milliseconds) { return waitForEither(*this, *this, milliseconds) == 0; }

int Event::waitForEither(Event& first, Event& second, uint32_t milliseconds) {
    std::unique_lock<std::mutex> lock(eventMutex());
    auto take = [&]() -> int {
        Event* events[] = {&first, &second};
        for (int i = 0; i < 2; ++i) {
            if (!events[i]->state_->signalled) continue;
            if (!events[i]->state_->manual) events[i]->state_->signalled = false;
            return i;
        }
        return -1;
    };
    int taken = take();
    if (taken >= 0) return taken;
    if (milliseconds == kWaitForever) {
        eventChanged().wait(lock, [&] { return (taken = take()) >= 0; });
    } else {
        eventChanged().wait_for(lock, std::chrono::milliseconds(milliseconds), [&] { return (taken = take()) >= 0; });
    }
    return taken;
}

} // namespace ornivel
