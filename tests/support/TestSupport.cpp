#include "tests/support/TestSupport.h"

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <thread>

#include "common/CommandLine.h"
#include "common/Event.h"
#include "common/Text.h"

namespace fs = std::filesystem;

namespace ornivel::test {

std::wstring testRegistryKey(const std::wstring& name) {
    return formatWide(L"Software\\OrnivelTests\\%lu\\%s", GetCurrentProcessId(), name.c_str());
}

std::wstring windowsPathOf(const std::string& unixPath) {
    std::wstring path = L"Z:" + fromUtf8(unixPath);
    for (wchar_t& c : path)
        if (c == L'/') c = L'\\';
    return path;
}

std::wstring launcherExePath() { return windowsPathOf(ORNIVEL_EXE_UNIX_PATH); }
std::wstring buildFolder() { return windowsPathOf(ORNIVEL_BUILD_UNIX_PATH); }

std::string readFileBytes(const std::wstring& path) {
    std::ifstream in(fs::path(path), std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void writeFileBytes(const std::wstring& path, const std::string& bytes) {
    fs::path p(path);
    if (p.has_parent_path()) fs::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool fileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    for (char c : text) {
        if (c == '\n') {
            lines.push_back(line);
            line.clear();
        } else if (c != '\r') {
            line += c;
        }
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

const wchar_t* const kEverydayFolderName = L"Firma J\u00fcrgen & Co (Test) 100% !x!";

std::wstring everydayProfileFolder() {
    wchar_t windows[MAX_PATH];
    GetWindowsDirectoryW(windows, MAX_PATH);
    return std::wstring(windows, 3) + L"users\\J\u00fcrgen\\";
}

TempFolder::TempFolder(const std::wstring& hint, const std::wstring& base) {
    static std::atomic<int> counter{0};
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    path_ = formatWide(L"%sornivel-%s-%lu-%d-%lu\\", base.empty() ? temp : base.c_str(), hint.c_str(),
                       GetCurrentProcessId(), ++counter, GetTickCount());
    fs::create_directories(fs::path(path_));
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    // Read-only files (a test may make some) would stop the removal.
    for (auto& entry : fs::recursive_directory_iterator(fs::path(path_), ignored))
        SetFileAttributesW(entry.path().c_str(), FILE_ATTRIBUTE_NORMAL);
    fs::remove_all(fs::path(path_), ignored);
}

std::string unixPathOf(const std::wstring& path) {
    using Convert = char*(CDECL*)(const wchar_t*);
    auto convert = reinterpret_cast<Convert>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    char* unix = convert ? convert(path.c_str()) : nullptr;
    std::string result = unix ? unix : "";
    if (unix) HeapFree(GetProcessHeap(), 0, unix);
    return result;
}

bool startUnixProgram(const std::wstring& program, const std::wstring& commandLine) {
    std::wstring line = commandLine;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW((L"Z:" + program).c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        return false;
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return true;
}

bool runUnixProgram(const std::wstring& commandLine, DWORD timeoutMs) {
    static std::atomic<unsigned> counter{0};
    const std::wstring status = formatWide(L"/tmp/ornivel-unix-%lu-%u.status", GetCurrentProcessId(), ++counter);
    const std::wstring statusFile = windowsPathOf(toUtf8(status));
    DeleteFileW(statusFile.c_str());
    if (!startUnixProgram(L"\\bin\\sh", L"/bin/sh -c " + quoteArgument(commandLine + L"; echo $? > " + status)))
        return false;
    for (const DWORD start = GetTickCount(); GetTickCount() - start < timeoutMs; Sleep(20)) {
        const std::string text = readFileBytes(statusFile);
        if (text.empty() || text.back() != '\n') continue;  // not there, or not written whole yet
        DeleteFileW(statusFile.c_str());
        return text == "0\n";
    }
    return false;
}

bool makeFolderLink(const std::wstring& link, const std::wstring& target) {
    const std::string unixTarget = unixPathOf(target);
    std::wstring unixLink = fromUtf8(unixPathOf(link));
    if (unixTarget.empty() || unixLink.empty()) return false;
    if (!startUnixProgram(L"\\bin\\ln", L"/bin/ln -s \"" + fromUtf8(unixTarget) + L"\" \"" + unixLink + L"\""))
        return false;
    // Wait for the link to appear.
    for (int i = 0; i < 250; ++i) {
        WIN32_FIND_DATAW found;
        HANDLE find = FindFirstFileW(link.c_str(), &found);
        if (find != INVALID_HANDLE_VALUE) {
            FindClose(find);
            return (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        }
        Sleep(20);
    }
    return false;
}

void TempFolder::makeFolder(const std::wstring& relative) const { fs::create_directories(fs::path(path_ + relative)); }

WorkingFolder::WorkingFolder(const std::wstring& folder) : previous_(currentFolder()) {
    SetCurrentDirectoryW(folder.c_str());
}
WorkingFolder::~WorkingFolder() { SetCurrentDirectoryW(previous_.c_str()); }

bool finishesWithin(DWORD timeoutMs, std::function<void()> work) {
    auto ended = std::make_shared<Event>(Event::Reset::Manual);
    std::thread([work = std::move(work), ended] {
        work();
        ended->set();
    }).detach();
    return ended->wait(timeoutMs);
}

ProcessResult runProgram(const std::wstring& exe, const std::wstring& arguments, const std::wstring& workingFolder,
                         DWORD timeoutMs) {
    ProcessResult result;
    std::wstring commandLine = L"\"" + exe + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        workingFolder.empty() ? nullptr : workingFolder.c_str(), &startup, &process)) {
        std::fprintf(stderr, "cannot start %ls: error %lu\n", exe.c_str(), GetLastError());
        return result;
    }
    result.started = true;
    if (WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_TIMEOUT) {
        result.timedOut = true;
        TerminateProcess(process.hProcess, 999);
        WaitForSingleObject(process.hProcess, 5000);
    }
    GetExitCodeProcess(process.hProcess, &result.exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return result;
}

std::wstring LauncherRun::installLauncher(const std::wstring& name) const {
    std::wstring target = folder_.path() + name;
    if (!CopyFileW(launcherExePath().c_str(), target.c_str(), FALSE))
        std::fprintf(stderr, "cannot copy the launcher to %ls: error %lu\n", target.c_str(), GetLastError());
    return target;
}

ProcessResult LauncherRun::run(const std::wstring& arguments, DWORD timeoutMs) const {
    std::wstring exe = folder_.path() + L"ornivel.exe";
    if (!fileExists(exe)) installLauncher();
    return runProgram(exe, arguments, folder_.path(), timeoutMs);
}

bool CapturingAppender::append(int level, const std::wstring& message) {
    if (!wanted(level)) return true;
    messages.emplace_back(level, message);
    std::wstring line;
    formatLine(level, message, line);
    lines.push_back(line);
    return true;
}

bool CapturingAppender::has(int level, const std::wstring& message) const { return count(level, message) > 0; }

bool CapturingAppender::hasPrefix(int level, const std::wstring& prefix) const {
    for (const auto& m : messages)
        if (m.first == level && m.second.compare(0, prefix.size(), prefix) == 0) return true;
    return false;
}

size_t CapturingAppender::count(int level, const std::wstring& message) const {
    size_t n = 0;
    for (const auto& m : messages)
        if (m.first == level && m.second == message) ++n;
    return n;
}

} // namespace ornivel::test
