#pragma once
// A lock that serialises threads; the thread that holds it may enter it again (it is then
// free once it has been left as often as it was entered).
namespace ornivel {

class Lock {
public:
    Lock();
    ~Lock();
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

    void enter();
    void leave();

private:
    struct State;
    State* state_;
};

// Holds a lock for the lifetime of the object.
class LockGuard {
public:
    explicit LockGuard(Lock& lock) : lock_(lock) { lock_.enter(); }
    ~LockGuard() { lock_.leave(); }
    LockGuard(const LockGuard&) = delete;
    LockGuard& operator=(const LockGuard&) = delete;

private:
    Lock& lock_;
};

} // namespace ornivel
