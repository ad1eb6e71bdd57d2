#include "ui/CDialogLogin.h"

namespace ornivel {

// Placeholder until the dialog lands: no window; synchronisation is not run.
CDialogLogin::CDialogLogin(HINSTANCE instance, ThreadStartVM* javaHost) : javaHost_(javaHost), instance_(instance) {}
CDialogLogin::~CDialogLogin() = default;

bool CDialogLogin::synchronize(LogDriver& log, bool, bool) {
    log.log(LOG_INFO, L"Synchronisation is not available in this build.");
    return true;
}

bool CDialogLogin::waitForLogin(std::vector<ServerInfo>) { return false; }

void CDialogLogin::progress(const int*, const wchar_t*, const int*, const int*, const int*, const int*) {}

} // namespace ornivel
