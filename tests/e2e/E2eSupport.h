#pragma once
// Shared pieces of the end-to-end tests: the real ornivel.exe in a temporary installation
// with the stand-in runtime, driven through its windows while it runs.
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "common/Handles.h"
#include "tests/support/TestSupport.h"
#include "tests/support/deployserver/TestDeploymentServer.h"
#include "tests/support/standin-jvm/StandinJvm.h"
#include "tests/support/windows/ChildProcess.h"

namespace ornivel::test::e2e {

// Exit status -1 as a Windows parent sees it (Wine may hand over 255 instead).
bool isMinusOne(DWORD exitCode);

// Expected login record, built here without the launcher's own code.
std::string hexUtf16Of(const std::wstring& text);
std::string loginRecord(const std::string& hexUser, const std::string& passwordMd5, const std::string& host, int port,
                        const std::wstring& caption, int extra);

// The registry values the launcher keeps for an installation folder (its last component
// with a trailing backslash), removed again when the object ends.
class StoredValues {
public:
    explicit StoredValues(const TempFolder& installation);
    ~StoredValues();
    StoredValues(const StoredValues&) = delete;
    StoredValues& operator=(const StoredValues&) = delete;

    // Default value of "Software\Torbenwald\ornivel\<kind>\<name>\"; `found` tells whether it exists.
    std::wstring string(const std::wstring& kind, bool* found = nullptr) const;
    bool dword(const std::wstring& kind, DWORD& value) const;
    const std::wstring& name() const { return name_; }
    // The key of one kind of value ("password", "lastUser", ...) of this installation.
    std::wstring keyOf(const std::wstring& kind) const;

private:
    std::wstring name_;  // without the trailing backslash
};

// The client checksum the launcher computes for a folder.
std::string checksumOf(const std::wstring& folder);
// Answers the version check of `folder`'s current state with `answer` after `delaySeconds`.
void answerVersionCheck(TestDeploymentServer& server, const std::wstring& folder, const std::string& answer,
                        double delaySeconds = 0);

// Runs `exe` like runProgram, with its standard output and error going to the file
// `outputPath` (the launcher logs there too, and its log file starts anew at every start).
ProcessResult runWithOutput(const std::wstring& exe, const std::wstring& arguments, const std::wstring& workingFolder,
                            const std::wstring& outputPath, DWORD timeoutMs = 30000);

// Processes (ids) whose image is the file `exePath`.
std::vector<DWORD> processesOf(const std::wstring& exePath);

// A process the test did not start itself (started by a script or another launcher).
class ForeignProcess {
public:
    ForeignProcess() = default;
    explicit ForeignProcess(DWORD id);
    bool valid() const { return handle_.valid(); }
    DWORD id() const { return id_; }
    bool waitForExit(DWORD timeoutMs, DWORD& exitCode);

private:
    UniqueHandle handle_;
    DWORD id_ = 0;
};

// Ends every process of an executable when the scope ends (processes the test did not start
// itself must not outlive it).
class EndProcessesOnExit {
public:
    explicit EndProcessesOnExit(std::wstring exePath) : exePath_(std::move(exePath)) {}
    ~EndProcessesOnExit() { terminateProcessesOf(exePath_); }

private:
    std::wstring exePath_;
};

// The login dialog of a launcher process (a "#32770" window with the progress bar), visible
// or not; null when none appeared in time.
HWND waitForLoginDialog(DWORD processId, DWORD timeoutMs = 20000);
// Waits until the dialog shows its login form, then a moment more for the stored values.
bool waitForLoginForm(HWND dialog, DWORD timeoutMs = 20000);
// Entries of the server list.
std::vector<std::wstring> serverListEntries(HWND dialog);
int selectedServer(HWND dialog);
// Chooses an entry of the server list the way a user's selection does.
void selectServer(HWND dialog, int index);
bool savePasswordChecked(HWND dialog);
// Fills the form and clicks Login.
void logIn(HWND dialog, const std::wstring& userId, const std::wstring& password, bool savePassword);

// Occurrences of `needle` in `text`.
size_t countOf(const std::string& text, const std::string& needle);

} // namespace ornivel::test::e2e
