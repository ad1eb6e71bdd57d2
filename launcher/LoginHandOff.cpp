#include "launcher/LoginHandOff.h"

#include <cstdlib>

#include "ui/CDialogLogin.h"

namespace ornivel {

// Placeholder until the hand-off lands: only the dialog's answer is used.
void runLoginHandOff(CDialogLogin* dialog, const std::vector<ServerInfo>& servers, ThreadStartVM&) {
    if (!dialog->waitForLogin(servers)) {
        delete dialog;
        std::exit(-1);
    }
}

} // namespace ornivel
