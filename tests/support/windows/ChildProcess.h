#pragma once
// A program started for a test and watched while the test drives its windows.
#include <windows.h>
#include <string>
#include <vector>

#include "common/Handles.h"

namespace ornivel::test {

class ChildProcess {
public:
    // Starts `exe` with the command-line text `"exe" arguments` in `workingFolder`.
    ChildProcess(const std::wstring& exe, const std::wstring& arguments, const std::wstring& workingFolder = L"");
    // Ends the process if it still runs.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const { return process_.valid(); }
    DWORD id() const { return id_; }
    // True when the process ended within the time; its exit code in `exitCode`.
    bool waitForExit(DWORD timeoutMs, DWORD& exitCode);
    void terminate();

private:
    UniqueHandle process_;
    DWORD id_ = 0;
};

// Ends every process whose image is the file `exePath` (a started copy of a program).
int terminateProcessesOf(const std::wstring& exePath);

// The processes started by the process `parentId` (which may have ended already).
std::vector<DWORD> childrenOf(DWORD parentId);
// Ends a process and everything it started, children first.
void terminateTree(DWORD processId);

} // namespace ornivel::test
