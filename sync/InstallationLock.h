#pragma once
// One synchronisation per installation at a time, across sessions and users: the lock is a
// file in the installation folder opened without sharing and deleted when it is closed, so it
// never outlives the process that holds it (the system closes the handles of a process that
// ends in any way).
#include <functional>
#include <string>

#include "common/Handles.h"
#include "logdriver/LogDriver.h"

namespace ornivel {

class InstallationLock {
public:
    static constexpr const wchar_t* kFileName = L"ornivel-sync.lock";
    // How often a waiting start looks whether the lock has become free.
    static constexpr unsigned long kPollMs = 200;
    // A lock file that cannot be opened although nobody holds it (its access was denied) is
    // waited for this long at most; then the start goes on without the lock.
    static constexpr unsigned long kDeniedWaitMs = 30000;

    // `folder` ends with a backslash.
    InstallationLock(const std::wstring& folder, const LogDriver& log);
    InstallationLock(const InstallationLock&) = delete;
    InstallationLock& operator=(const InstallationLock&) = delete;

    // Takes the lock, waiting while another run holds it; `onWait` is called once when the
    // wait begins. Returns when the lock is held, or (logged) when the folder cannot hold a
    // lock file at all: then the run goes on as without this lock.
    void acquire(const std::function<void()>& onWait);
    bool held() const { return file_.valid(); }
    void release() { file_.reset(); }

private:
    enum class Attempt { Taken, Busy, Impossible };
    Attempt tryOnce(unsigned long& error);

    std::wstring path_;
    LogDriver log_;
    UniqueHandle file_;
};

} // namespace ornivel
