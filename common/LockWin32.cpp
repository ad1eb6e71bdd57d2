#include "common/Lock.h"

#include <windows.h>

namespace ornivel {

struct Lock::State {
    CRITICAL_SECTION section;
};

Lock::Lock() : state_(new State) { InitializeCriticalSection(&state_->section); }

Lock::~Lock() {
    DeleteCriticalSection(&state_->section);
    delete state_;
}

void Lock::enter() { EnterCriticalSection(&state_->section); }
void Lock::leave() { LeaveCriticalSection(&state_->section); }

} // namespace ornivel
