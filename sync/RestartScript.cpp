#include "sync/RestartScript.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <utility>
#include <vector>

#include "common/Handles.h"
#include "common/Text.h"
#include "logdriver/LastError.h"
#include "sync/FileIdentity.h"
#include "sync/LocalPaths.h"

namespace ornivel {

// Where the interpreter did not start in the installation (copyrun.bat is not beside it),
// it enters the folder by name and notes that, and skips the moves when even that failed.
// "start" without "/D" hands the interpreter's own current folder on; "start /D" names the
// folder ("." keeps the quotation mark away from its last backslash). Either way the
// interpreter ends right after the start, not with the launcher.
const char kCopyRunScript[] =
    "set ORNIVEL_RESTART_ENTERED=\r\n"
    "if exist copyrun.bat goto :begin\r\n"
    "pushd \"%ORNIVEL_RESTART_FOLDER%\"\r\n"
    "set ORNIVEL_RESTART_ENTERED=1\r\n"
    "if not exist copyrun.bat goto :next\r\n"
    ":begin\r\n"
    "set /a timer = 0\r\n"
    ":start\r\n"
    "\tif /I %timer% GEQ 10 goto :next\r\n"
    "\tset /a timer=%timer% + 1\r\n"
    "\r\n"
    "\tmove /Y %2 %1\r\n"
    "\r\n"
    "\tif NOT EXIST %2 goto :next\r\n"
    "\t\r\n"
    "\t\"%ORNIVEL_RESTART_PING%\" -n 2 127.0.0.1 > NUL\r\n"
    "\t\r\n"
    "\tgoto :start\r\n"
    ":next\r\n"
    "\tif not defined ORNIVEL_RESTART_ENTERED goto :here\r\n"
    "\tpopd\r\n"
    "\tset ORNIVEL_RESTART_ENTERED=\r\n"
    "\tstart \"\" /B /D \"%ORNIVEL_RESTART_FOLDER%.\" \"%ORNIVEL_RESTART_LAUNCHER%\" %3\r\n"
    "\tgoto :eof\r\n"
    ":here\r\n"
    "\tstart \"\" /B %1 %3\r\n";

std::wstring restartParameters(const std::wstring& executable, const std::wstring& replacement,
                               const std::wstring& restartArguments) {
    return L"\"" + executable + L"\" \"" + replacement + L"\" " + restartArguments +
           L" > \"%ORNIVEL_RESTART_FOLDER%log\\copyrun.log\" 2>&1";
}

std::wstring restartCommandLine(const std::wstring& parameters) {
    // /d: no AutoRun commands; /e:on: "set /a", "if /I", "if defined", "goto :eof", "pushd"
    // of a UNC path and "start /D" need the extensions; /v:off: a "!" stays a "!"; /s: the
    // text between the outer quotation marks is taken as it is.
    return L"cmd.exe /d /e:on /v:off /s /c \"\"%ORNIVEL_RESTART_FOLDER%copyrun.bat\" " + parameters + L"\"";
}

std::wstring pathInFolder(const std::wstring& path, const std::wstring& folder) {
    const std::wstring base = joinLocalPath(folder, L"");
    if (path.size() > base.size() && CompareStringOrdinal(path.c_str(), static_cast<int>(base.size()), base.c_str(),
                                                          static_cast<int>(base.size()), TRUE) == CSTR_EQUAL)
        return L".\\" + path.substr(base.size());
    return path;
}

bool writeRestartScript(const std::wstring& scriptPath) {
    FILE* script = _wfopen(scriptPath.c_str(), L"w");  // text mode: "\n" is written as "\r\n"
    if (!script) return false;
    size_t length = std::strlen(kCopyRunScript);
    bool written = std::fwrite(kCopyRunScript, 1, length, script) == length;
    return std::fclose(script) == 0 && written;
}

namespace {

using Variables = std::vector<std::pair<std::wstring, std::wstring>>;

bool namesVariable(const wchar_t* entry, const std::wstring& name) {
    const size_t n = name.size();
    return wcsnlen(entry, n + 1) > n && entry[n] == L'=' &&
           CompareStringOrdinal(entry, static_cast<int>(n), name.c_str(), static_cast<int>(n), TRUE) == CSTR_EQUAL;
}

// The launcher's environment block with `variables` set (replacing variables of those names).
std::wstring environmentWith(const Variables& variables) {
    std::wstring block;
    if (wchar_t* current = GetEnvironmentStringsW()) {
        for (const wchar_t* entry = current; *entry; entry += std::wcslen(entry) + 1) {
            bool replaced = false;
            for (const auto& variable : variables) replaced = replaced || namesVariable(entry, variable.first);
            if (replaced) continue;
            block += entry;
            block.push_back(L'\0');
        }
        FreeEnvironmentStringsW(current);
    }
    for (const auto& variable : variables) {
        block += variable.first + L"=" + variable.second;
        block.push_back(L'\0');
    }
    block.push_back(L'\0');  // the block ends with an empty entry
    return block;
}

std::wstring systemFolder() {
    std::wstring folder(MAX_PATH, L'\0');
    folder.resize(GetSystemDirectoryW(folder.data(), MAX_PATH));
    return folder;
}

bool sameFolder(const std::wstring& a, const std::wstring& b) {
    const std::wstring x = joinLocalPath(a, L""), y = joinLocalPath(b, L"");
    return CompareStringOrdinal(x.c_str(), static_cast<int>(x.size()), y.c_str(), static_cast<int>(y.size()), TRUE) ==
           CSTR_EQUAL;
}

// The running launcher as it stands in the installation folder, also when the system names it
// otherwise (a mapped drive or another spelling of the share): the same file under its name
// in the folder.
std::wstring launcherInFolder(const std::wstring& running, const std::wstring& folder) {
    const size_t cut = running.find_last_of(L"\\/");
    const std::wstring there = joinLocalPath(folder, cut == std::wstring::npos ? running : running.substr(cut + 1));
    return sameExistingFile(there, running) ? there : running;
}

void startScript(const wchar_t* interpreterFolder, const std::wstring& folder, const std::wstring& running,
                 const std::wstring& restartArguments, LogDriver& log) {
    writeRestartScript(joinLocalPath(folder, L"copyrun.bat"));
    CreateDirectoryW(joinLocalPath(folder, L"log").c_str(), nullptr);  // the script's output goes there
    log.log(LOG_INFO, L"Using CopyRun for restart");
    const std::wstring system = systemFolder();
    const std::wstring interpreter = joinLocalPath(system, L"cmd.exe");
    const std::wstring launcher = launcherInFolder(running, folder);
    const std::wstring executable = pathInFolder(launcher, folder);
    std::wstring environment = environmentWith({{L"ORNIVEL_RESTART_FOLDER", joinLocalPath(folder, L"")},
                                                {L"ORNIVEL_RESTART_LAUNCHER", launcher},
                                                {L"ORNIVEL_RESTART_PING", joinLocalPath(system, L"ping.exe")}});
    std::wstring commandLine =
        restartCommandLine(restartParameters(executable, withExtension(executable, L".tmp"), restartArguments));

    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(interpreter.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                        CREATE_NO_WINDOW | CREATE_DEFAULT_ERROR_MODE | CREATE_UNICODE_ENVIRONMENT, environment.data(),
                        interpreterFolder, &startup, &process)) {
        log.log(LOG_FATAL, L"Error executing CopyRun. OS Error: %s", LastError().text().c_str());
        return;
    }
    UniqueHandle processHandle(process.hProcess);
    UniqueHandle threadHandle(process.hThread);
}

} // namespace

void startRestartScript(const std::wstring& folder, const std::wstring& running, const std::wstring& restartArguments,
                        LogDriver& log) {
    // The installation is the launcher's own current folder, which the interpreter inherits
    // (not every system starts a program in a UNC folder named to it, while all hand one on).
    startScript(sameFolder(folder, currentFolder()) ? nullptr : folder.c_str(), folder, running, restartArguments, log);
}

void startRestartScriptFrom(const std::wstring& interpreterFolder, const std::wstring& folder,
                            const std::wstring& running, const std::wstring& restartArguments, LogDriver& log) {
    startScript(interpreterFolder.c_str(), folder, running, restartArguments, log);
}

} // namespace ornivel
