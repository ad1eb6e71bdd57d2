#include "launcher/RunRecord.h"

#include <windows.h>

#include "common/Text.h"
#include "filelist/FileList.h"
#include "sync/OrnivelClient.h"
#include "sync/ServerFile.h"
#include "sync/UpdateStatus.h"

namespace ornivel {

namespace {

// The computer's name (never a user's).
std::string computerName() {
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    if (!GetComputerNameW(name, &size)) return {};
    return toUtf8(name);
}

} // namespace

FleetReport* recordRun(const std::wstring& folder, const RunOutcome& outcome, bool updateOnly, LogDriver& log) {
    const std::wstring checksum = OrnivelClient(folder, log).clientChecksum();
    const FileList list = FileList::load(folder + L"TarnFileList.xml");
    const std::wstring serial = list.serial() ? std::to_wstring(*list.serial()) : std::wstring();
    const std::wstring id = recordUpdateStatus(folder, outcome.result, checksum, serial);
    log.log(LOG_INFO, L"Update result %u.", static_cast<unsigned>(outcome.result));
    if (!list.reportRequested()) return nullptr;

    std::string url;
    if (!readServerUrl(folder + L"ornivel-Server.dat", url)) return nullptr;
    FleetReportFields fields;
    fields.id = toUtf8(id);
    fields.host = computerName();
    fields.result = outcome.result;
    fields.checksum = toUtf8(checksum);
    fields.serial = toUtf8(serial);
    fields.files = outcome.files;
    fields.bytes = outcome.bytes;
    fields.seconds = outcome.seconds;
    fields.updateOnly = updateOnly;
    auto* report = new FleetReport(log);  // its thread may outlive every caller
    if (!report->start(url, fields)) {
        delete report;
        return nullptr;
    }
    return report;
}

} // namespace ornivel
