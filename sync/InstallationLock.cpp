#include "sync/InstallationLock.h"

#include <windows.h>

#include "logdriver/LastError.h"

namespace ornivel {

InstallationLock::InstallationLock(const std::wstring& folder, const LogDriver& log)
    : path_(folder + kFileName), log_(log) {}

InstallationLock::Attempt InstallationLock::tryOnce(unsigned long& error) {
    file_.reset(::CreateFileW(path_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    if (file_) return Attempt::Taken;
    error = ::GetLastError();
    if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION) return Attempt::Busy;
    // A lock file that is being deleted as its holder ends denies access for a moment; a
    // folder the user may not write to denies it for good.
    if (error == ERROR_ACCESS_DENIED && ::GetFileAttributesW(path_.c_str()) != INVALID_FILE_ATTRIBUTES)
        return Attempt::Busy;
    return Attempt::Impossible;
}

void InstallationLock::acquire(const std::function<void()>& onWait) {
    unsigned long error = 0;
    Attempt attempt = tryOnce(error);
    if (attempt == Attempt::Busy) {
        log_.log(LOG_INFO, L"This installation is being updated by another start; waiting until it has finished.");
        if (onWait) onWait();
        const DWORD begin = ::GetTickCount();
        while (attempt == Attempt::Busy) {
            // Only a lock held by a running process makes a start wait without end.
            if (error == ERROR_ACCESS_DENIED && ::GetTickCount() - begin > kDeniedWaitMs) {
                attempt = Attempt::Impossible;
                break;
            }
            ::Sleep(kPollMs);
            attempt = tryOnce(error);
        }
        if (attempt == Attempt::Taken) log_.log(LOG_INFO, L"The other start has finished; this start goes on.");
    }
    if (attempt == Attempt::Impossible)
        log_.log(LOG_WARNING, L"The update lock %s cannot be taken (%s); this start goes on without it.", path_.c_str(),
                 LastError(error).text().c_str());
}

} // namespace ornivel
