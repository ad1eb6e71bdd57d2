#include "sync/RestartScript.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "common/Handles.h"
#include "common/Text.h"
#include "logdriver/LastError.h"
#include "sync/LocalPaths.h"

namespace ornivel {

// %1 the launcher, %2 its replacement, %3 the restart arguments. The replacement is moved
// over the launcher in one step (never deleted first), retried while the ending launcher
// still holds its file, so a whole launcher stands in the folder at every moment.
const char kCopyRunScript[] =
    "set /a timer = 0\r\n"
    ":start\r\n"
    "\tif /I %timer% GEQ 10 goto :next\r\n"
    "\tset /a timer=%timer% + 1\r\n"
    "\r\n"
    "\tmove /Y %2 %1\r\n"
    "\r\n"
    "\tif NOT EXIST %2 goto :next\r\n"
    "\t\r\n"
    "\tping -n 2 127.0.0.1 > NUL\r\n"
    "\t\r\n"
    "\tgoto :start\r\n"
    ":next\r\n"
    "\t%1 %3\r\n";

std::wstring restartParameters(const std::wstring& executable, const std::wstring& replacement,
                               const std::wstring& restartArguments) {
    return L"\"" + executable + L"\" \"" + replacement + L"\" " + restartArguments + L" > log\\copyrun.log";
}

std::wstring restartCommandLine(const std::wstring& parameters) {
    // /s: the command interpreter takes the text between the outer quotation marks as it is.
    return L"cmd.exe /d /s /c \"\".\\copyrun.bat\" " + parameters + L"\"";
}

std::wstring pathInFolder(const std::wstring& path, const std::wstring& folder) {
    const std::wstring base = joinLocalPath(folder, L"");
    if (path.size() > base.size() && CompareStringOrdinal(path.c_str(), static_cast<int>(base.size()), base.c_str(),
                                                          static_cast<int>(base.size()), TRUE) == CSTR_EQUAL)
        return path.substr(base.size());
    return path;
}

bool writeRestartScript(const std::wstring& scriptPath) {
    FILE* script = _wfopen(scriptPath.c_str(), L"w");  // text mode: "\n" is written as "\r\n"
    if (!script) return false;
    size_t length = std::strlen(kCopyRunScript);
    bool written = std::fwrite(kCopyRunScript, 1, length, script) == length;
    return std::fclose(script) == 0 && written;
}

void startRestartScript(const std::wstring& folder, const std::wstring& running, const std::wstring& restartArguments,
                        LogDriver& log) {
    writeRestartScript(joinLocalPath(folder, L"copyrun.bat"));
    log.log(LOG_INFO, L"Using CopyRun for restart");
    // The script runs in the installation folder and gets names relative to it, so no blank,
    // "&", "%" or "!" of the folder's path ever reaches the command interpreter.
    const std::wstring executable = pathInFolder(running, folder);
    const std::wstring parameters =
        restartParameters(executable, withExtension(executable, L".tmp"), restartArguments);
    std::wstring interpreter(MAX_PATH, L'\0');
    interpreter.resize(GetSystemDirectoryW(interpreter.data(), MAX_PATH));
    interpreter += L"\\cmd.exe";
    std::wstring commandLine = restartCommandLine(parameters);
    std::vector<wchar_t> buffer(commandLine.begin(), commandLine.end());
    buffer.push_back(L'\0');

    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(interpreter.c_str(), buffer.data(), nullptr, nullptr, FALSE,
                        CREATE_NO_WINDOW | CREATE_DEFAULT_ERROR_MODE, nullptr, folder.c_str(), &startup, &process)) {
        log.log(LOG_FATAL, L"Error executing CopyRun. OS Error: %s", LastError().text().c_str());
        return;
    }
    UniqueHandle processHandle(process.hProcess);
    UniqueHandle threadHandle(process.hThread);
}

} // namespace ornivel
