#include "sync/ExternalPrograms.h"

#include <windows.h>
#include <shellapi.h>

#include <vector>

#include "common/CommandLine.h"
#include "common/Handles.h"
#include "common/Text.h"

namespace ornivel {

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
    if (!CreateProcessW(program.c_str(), buffer.data(), nullptr, nullptr, FALSE, CREATE_DEFAULT_ERROR_MODE, nullptr, nullptr,
                        &startup, &process))
        return false;
    UniqueHandle processHandle(process.hProcess);
    UniqueHandle threadHandle(process.hThread);
    WaitForSingleObject(processHandle.get(), INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(processHandle.get(), &code);
    if (exitCode) *exitCode = code;
    return true;
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
    operation.fFlags = static_cast<FILEOP_FLAGS>(permanently ? (FOF_SILENT | FOF_NOCONFIRMATION)
                                                             : (FOF_SILENT | FOF_NOCONFIRMATION | FOF_ALLOWUNDO));
    return folderDeletionSucceeded(SHFileOperationW(&operation));
}

} // namespace ornivel
