#pragma once
// The hand-off of the native login to the Java client through "launcher.dat".
#include <vector>

#include "config/ServerInfo.h"
#include "logdriver/LogDriver.h"

namespace ornivel {

class CDialogLogin;
class ThreadStartVM;

// Returns once the Java side reported an outcome other than a connection failure or wrong
// credentials, or once the Java main thread has ended without an outcome. A cancelled login
// deletes the dialog and ends the process with -1.
void runLoginHandOff(CDialogLogin* dialog, const std::vector<ServerInfo>& servers, ThreadStartVM& javaHost,
                     LogDriver log);

} // namespace ornivel
