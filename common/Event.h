#pragma once
// An event that threads wait for: signalled by set(), either taken by the one waiter that
// sees it (automatic reset) or staying signalled until reset() (manual reset).
#include <cstdint>

namespace ornivel {

// A wait without a time limit.
constexpr uint32_t kWaitForever = 0xFFFFFFFFu;

class Event {
public:
    enum class Reset { Automatic, Manual };

    // Not signalled at first.
    explicit Event(Reset reset);
    ~Event();
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    void set();
    void reset();
    // True when the event was signalled within the time, false on a time-out.
    bool wait(uint32_t milliseconds = kWaitForever);
    // Waits until one of the two is signalled: 0 for the first, 1 for the second (the first
    // wins when both are), -1 on a time-out.
    static int waitForEither(Event& first, Event& second, uint32_t milliseconds = kWaitForever);

private:
    struct State;
    State* state_;
};

} // namespace ornivel
