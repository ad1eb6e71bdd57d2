#include "sync/ExternalPrograms.h"

#include <windows.h>
#include <shellapi.h>

#include <vector>

#include "common/CommandLine.h"
#include "common/Handles.h"
#include "common/Text.h"

namespace ornivel {

namespace {

// A child process takes the error mode its parent has when it is created. With these bits
// the system hands a critical error (no medium, a share gone), a file it cannot open for the
// loader, or a crash back to the program as a failure instead of showing a box.
constexpr UINT kQuietErrorMode = SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX;

} // namespace

bool runAndWait(const std::wstring& program, const std::wstring& arguments, LogDriver& log, unsigned long* exitCode) {
    // The command line has no fixed bound here: CreateProcessW takes up to 32,767 characters.
    // The program is named separately too, so a blank in its path cannot start another one.
    std::wstring commandLine = formatWide(L"%s %s", quoteArgument(program).c_str(), arguments.c_str());
    log.log(LOG_DEBUG, L"Executing: %s", commandLine.c_str());
    std::vector<wchar_t> buffer(commandLine.begin(), commandLine.end());
    buffer.push_back(L'\0');

    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    // The quiet mode holds for the launcher only while the program is created, so that the
    // program inherits it (a process cannot be given an error mode of its own at creation).
    const UINT previousMode = GetErrorMode();
    SetErrorMode(previousMode | kQuietErrorMode);
    const BOOL started = CreateProcessW(program.c_str(), buffer.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                                        nullptr, nullptr, &startup, &process);
    const DWORD error = GetLastError();
    SetErrorMode(previousMode);
    if (!started) {
        SetLastError(error);
        return false;
    }
    UniqueHandle processHandle(process.hProcess);
    UniqueHandle threadHandle(process.hThread);
    WaitForSingleObject(processHandle.get(), INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(processHandle.get(), &code);
    if (exitCode) *exitCode = code;
    return true;
}

unsigned shellDeleteFlags(bool permanently) {
    // No progress, no confirmation, no error dialog: the result tells what happened.
    return FOF_NO_UI | (permanently ? 0u : static_cast<unsigned>(FOF_ALLOWUNDO));
}

bool folderDeletionSucceeded(int shellResult) { return shellResult == 0 || shellResult == 2 || shellResult == 124; }

bool deleteFolder(const std::wstring& path, bool permanently) {
    // The source is a list of names ended by an empty name: two zero characters.
    std::wstring source = path;
    source.push_back(L'\0');
    source.push_back(L'\0');
    SHFILEOPSTRUCTW operation{};
    operation.hwnd = nullptr;
    operation.wFunc = FO_DELETE;
    operation.pFrom = source.c_str();
    operation.pTo = nullptr;
    operation.fFlags = static_cast<FILEOP_FLAGS>(shellDeleteFlags(permanently));
    return folderDeletionSucceeded(SHFileOperationW(&operation));
}

} // namespace ornivel
