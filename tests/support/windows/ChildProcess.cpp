#include "tests/support/windows/ChildProcess.h"

#include <tlhelp32.h>

namespace ornivel::test {

ChildProcess::ChildProcess(const std::wstring& exe, const std::wstring& arguments, const std::wstring& workingFolder) {
    std::wstring commandLine = L"\"" + exe + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        workingFolder.empty() ? nullptr : workingFolder.c_str(), &startup, &info))
        return;
    CloseHandle(info.hThread);
    process_.reset(info.hProcess);
    id_ = info.dwProcessId;
}

ChildProcess::~ChildProcess() { terminate(); }

bool ChildProcess::waitForExit(DWORD timeoutMs, DWORD& exitCode) {
    if (!process_ || WaitForSingleObject(process_.get(), timeoutMs) != WAIT_OBJECT_0) return false;
    return GetExitCodeProcess(process_.get(), &exitCode) != FALSE;
}

void ChildProcess::terminate() {
    if (!process_) return;
    if (WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) {
        TerminateProcess(process_.get(), 999);
        WaitForSingleObject(process_.get(), 5000);
    }
}

int terminateProcessesOf(const std::wstring& exePath) {
    UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return 0;
    int ended = 0;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
        UniqueHandle process(OpenProcess(PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE,
                                         entry.th32ProcessID));
        if (!process) continue;
        wchar_t image[MAX_PATH * 2] = {};
        DWORD size = MAX_PATH * 2;
        if (!QueryFullProcessImageNameW(process.get(), 0, image, &size)) continue;
        if (lstrcmpiW(image, exePath.c_str()) != 0) continue;
        TerminateProcess(process.get(), 999);
        WaitForSingleObject(process.get(), 5000);
        ++ended;
    }
    return ended;
}

std::vector<DWORD> childrenOf(DWORD parentId) {
    std::vector<DWORD> children;
    UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return children;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry))
        if (entry.th32ParentProcessID == parentId && entry.th32ProcessID != parentId) children.push_back(entry.th32ProcessID);
    return children;
}

void terminateTree(DWORD processId) {
    // The process first, so that it cannot start another child (a console program with a
    // console host of its own) after its children were looked up; an ended process is still
    // the parent its children name.
    UniqueHandle process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, processId));
    if (process) {
        TerminateProcess(process.get(), 999);
        WaitForSingleObject(process.get(), 5000);
    }
    for (DWORD child : childrenOf(processId)) terminateTree(child);
}

} // namespace ornivel::test
