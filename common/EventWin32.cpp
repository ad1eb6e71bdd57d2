#include "common/Event.h"

#include <windows.h>

namespace ornivel {

struct Event::State {
    HANDLE handle;
};

Event::Event(Reset reset) : state_(new State{CreateEventW(nullptr, reset == Reset::Manual, FALSE, nullptr)}) {}

Event::~Event() {
    if (state_->handle) CloseHandle(state_->handle);
    delete state_;
}

void Event::set() { SetEvent(state_->handle); }
void Event::reset() { ResetEvent(state_->handle); }

bool Event::wait(uint32_t milliseconds) { return WaitForSingleObject(state_->handle, milliseconds) == WAIT_OBJECT_0; }

int Event::waitForEither(Event& first, Event& second, uint32_t milliseconds) {
    HANDLE handles[] = {first.state_->handle, second.state_->handle};
    DWORD result = WaitForMultipleObjects(2, handles, FALSE, milliseconds);
    if (result == WAIT_OBJECT_0) return 0;
    if (result == WAIT_OBJECT_0 + 1) return 1;
    return -1;
}

} // namespace ornivel
