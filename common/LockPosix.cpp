#include "common/Lock.h"

#include <mutex>

namespace ornivel {

struct Lock::State {
    std::recursive_mutex mutex;
};

Lock::Lock() : state_(new State) {}
Lock::~Lock() { delete state_; }

void Lock::enter() { state_->mutex.lock(); }
void Lock::leave() { state_->mutex.unlock(); }

} // namespace ornivel
