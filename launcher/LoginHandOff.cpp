#include "launcher/LoginHandOff.h"

#include <windows.h>
#include <cstdlib>

#include "common/Handles.h"
#include "common/Process.h"
#include "common/Text.h"
#include "common/WholeWrite.h"
#include "jvm/JavaMainThread.h"
#include "launcher/LoginRecord.h"
#include "logdriver/LogDriver.h"
#include "ui/CDialogLogin.h"

namespace ornivel {

namespace {

uint64_t asCount(const FILETIME& time) { return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime; }

// loginTime: milliseconds from the creation of this process until the user confirmed.
void publishLoginTime() {
    FILETIME creation, exitTime, kernel, user, now;
    if (!GetProcessTimes(GetCurrentProcess(), &creation, &exitTime, &kernel, &user)) return;
    GetSystemTimeAsFileTime(&now);
    putProcessEnvironment(L"loginTime", elapsedMillisecondsText(asCount(creation), asCount(now)));
}

const wchar_t kLoginRecord[] = L"launcher.dat";

// The record carries the password's digest: it lives only until the Java side has answered,
// and never beyond the launcher's end, however the process ends.
void removeLoginRecord() { DeleteFileW(kLoginRecord); }

// The record is written whole with one write; failures show up as a Java side that never
// answers, as nothing else can be done about them here.
void writeLoginRecord(const std::wstring& record) {
    static const bool removedAtExit = std::atexit(removeLoginRecord) == 0;
    (void)removedAtExit;
    UniqueHandle file(CreateFileW(kLoginRecord, GENERIC_ALL, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return;
    std::string bytes = toUtf8(record);
    writeWhole(file.get(), bytes.data(), bytes.size());
}

LoginInput inputOf(const CDialogLogin& dialog) {
    return {dialog.userId(), dialog.password(), dialog.serverHost(), dialog.serverPort(), dialog.serverCaption(),
            dialog.serverExtra()};
}

// The Java side's outcome of the attempt; empty when the Java main thread has ended
// without one (then nobody could ever answer, and waiting on would never end).
std::wstring waitForOutcome(ThreadStartVM& javaHost) {
    std::wstring outcome;
    while (outcome.empty() && javaHost.answering()) {
        outcome = javaHost.callStaticStringMethod(L"getError");
        Sleep(40);
    }
    return outcome;
}

} // namespace

void runLoginHandOff(CDialogLogin* dialog, const std::vector<ServerInfo>& servers, ThreadStartVM& javaHost,
                     LogDriver log) {
    for (;;) {
        if (!dialog->waitForLogin(servers)) {
            delete dialog;
            endProcessOnce(-1);
        }
        publishLoginTime();
        DeleteFileW(L"launcher2.dat");
        writeLoginRecord(buildLoginRequest(inputOf(*dialog)));
        std::wstring outcome = waitForOutcome(javaHost);
        removeLoginRecord();
        if (outcome.empty()) {
            log.log(LOG_INFO, L"The Java client ended without reporting the outcome of the login.");
            return;
        }
        javaHost.callStaticStringMethod(L"resetError");
        if (!outcomeAsksForAnotherLogin(outcome)) return;
    }
}

} // namespace ornivel
