// Runs one synchronisation in the current folder, as the launcher does, and ends with exit
// status 1 when it returned true and 2 when it returned false. Log lines go to
// log\launcher.log. Arguments: the deployment key, then optionally "-aussendienst".
#include <windows.h>

#include <string>

#include "common/Text.h"
#include "logdriver/LogAppender.h"
#include "logdriver/LogDriver.h"
#include "config/StoredValues.h"
#include "sync/OrnivelSynchronizer.h"

int wmain(int argc, wchar_t** argv) {
    using namespace ornivel;
    // A runner restarted by the script gets no key: it takes one of its own installation, so
    // that runs of other tests never share its saved answer.
    const std::wstring key = argc > 1 ? std::wstring(argv[1])
                                      : L"Software\\OrnivelTests\\runner\\" + installationNameOf(currentFolder());
    const bool fieldService = argc > 2 && std::wstring(argv[2]) == L"-aussendienst";
    CreateDirectoryW(L"log", nullptr);
    LogDriver log(L"ornivel");
    log.addAppender(new CFileLogAppender(0, L"log\\launcher.log", L"%e | %m"));
    OrnivelSynchronizer synchronizer(fieldService, currentFolder(), log, false);
    return synchronizer.synchronizeFolder(key, fieldService ? L"-aussendienst" : L"") ? 1 : 2;
}
