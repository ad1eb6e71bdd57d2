#include "sync/RestartScript.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstring>

#include "common/Text.h"
#include "logdriver/LastError.h"
#include "sync/LocalPaths.h"

namespace ornivel {

const char kCopyRunScript[] =
    "set /a timer = 0\r\n"
    ":start\r\n"
    "\tif /I %timer% GEQ 10 goto :next\r\n"
    "\tset /a timer=%timer% + 1\r\n"
    "\r\n"
    "\tdel %1\r\n"
    "\r\n"
    "\tif NOT EXIST %1 goto :next\r\n"
    "\t\r\n"
    "\tping -n 2 127.0.0.1 > NUL\r\n"
    "\t\r\n"
    "\tgoto :start\r\n"
    ":next\r\n"
    "\tmove /Y %2 %1\r\n"
    "\t%1 %3\r\n";

std::wstring restartParameters(const std::wstring& executable, const std::wstring& replacement,
                               const std::wstring& restartArguments) {
    return L"\"" + executable + L"\" \"" + replacement + L"\" " + restartArguments + L" > log\\copyrun.log";
}

bool writeRestartScript(const std::wstring& scriptPath) {
    FILE* script = _wfopen(scriptPath.c_str(), L"w");  // text mode: "\n" is written as "\r\n"
    if (!script) return false;
    size_t length = std::strlen(kCopyRunScript);
    bool written = std::fwrite(kCopyRunScript, 1, length, script) == length;
    return std::fclose(script) == 0 && written;
}

void startRestartScript(const std::wstring& folder, const std::wstring& restartArguments, LogDriver& log) {
    std::wstring script = joinLocalPath(folder, L"copyrun.bat");
    writeRestartScript(script);
    log.log(LOG_INFO, L"Using CopyRun for restart");
    std::wstring executable = modulePath();
    std::wstring parameters = restartParameters(executable, withExtension(executable, L".tmp"), restartArguments);
    HINSTANCE started =
        ShellExecuteW(nullptr, L"open", script.c_str(), parameters.c_str(), folder.c_str(), SW_HIDE);
    if (reinterpret_cast<INT_PTR>(started) <= 32)
        log.log(LOG_FATAL, L"Error executing CopyRun. OS Error: %s", LastError().text().c_str());
}

} // namespace ornivel
