#pragma once
// Test support: temporary installation folders, running programs, capturing log output.
#include <windows.h>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "logdriver/LogAppender.h"

namespace ornivel::test {

// A registry key (below HKEY_CURRENT_USER, without a trailing backslash) for the tests' own
// values, below a key of this test program's process: programs that ctest runs side by side
// never remove each other's keys. The product's own keys are named after the installation
// folder, a TempFolder of the program, whose name carries the process id as well.
std::wstring testRegistryKey(const std::wstring& name);

// Windows path of a Unix path of this machine (Wine maps / to Z:).
std::wstring windowsPathOf(const std::string& unixPath);
// The built x86_64 ornivel.exe, and the build folder.
std::wstring launcherExePath();
std::wstring buildFolder();

std::string readFileBytes(const std::wstring& path);
void writeFileBytes(const std::wstring& path, const std::string& bytes);  // creates parent folders
bool fileExists(const std::wstring& path);
std::vector<std::string> splitLines(const std::string& text);  // at LF, without CR

// An everyday installation folder name as users have them: blanks, "&", "%", "!",
// parentheses and letters beyond ASCII; and a user profile folder with such a letter.
extern const wchar_t* const kEverydayFolderName;
std::wstring everydayProfileFolder();

// A fresh, empty folder under the temporary folder (or under `base`), removed with
// everything in it when the object ends. path() ends with a backslash.
class TempFolder {
public:
    explicit TempFolder(const std::wstring& hint = L"inst", const std::wstring& base = L"");
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::wstring& path() const { return path_; }
    std::wstring operator/(const std::wstring& relative) const { return path_ + relative; }
    void write(const std::wstring& relative, const std::string& bytes) const { writeFileBytes(path_ + relative, bytes); }
    std::string read(const std::wstring& relative) const { return readFileBytes(path_ + relative); }
    bool exists(const std::wstring& relative) const { return fileExists(path_ + relative); }
    void makeFolder(const std::wstring& relative) const;

private:
    std::wstring path_;
};

// The Unix path of a Windows path (through Wine's own conversion); empty where there is none.
std::string unixPathOf(const std::wstring& path);
// Starts a Unix program (Wine starts those too) with a command line of Unix words; the caller
// waits for its effect, as a Unix process cannot be waited for through its handle.
bool startUnixProgram(const std::wstring& program, const std::wstring& commandLine);
// Runs a Unix command line (words as /bin/sh reads them) to its end, up to `timeoutMs`; true
// when it ended with status 0. Wine gives no handle that follows a Unix process to its end, so
// the shell leaves its status in a file of its own that this waits for.
bool runUnixProgram(const std::wstring& commandLine, DWORD timeoutMs = 30000);

// Makes `link` a link to the folder `target` as a Unix symbolic link, which Wine shows as a
// folder reparse point (Wine's own link functions make nothing). False where that fails.
bool makeFolderLink(const std::wstring& link, const std::wstring& target);

// Sets the working folder for the lifetime of the object.
class WorkingFolder {
public:
    explicit WorkingFolder(const std::wstring& folder);
    ~WorkingFolder();

private:
    std::wstring previous_;
};

struct ProcessResult {
    bool started = false;
    bool timedOut = false;
    DWORD exitCode = 0;
    int status() const { return static_cast<int>(exitCode); }
};

// Runs `exe` with the exact command-line text `"exe" arguments` in `workingFolder` and
// waits up to `timeoutMs` (then terminates it and reports timedOut).
ProcessResult runProgram(const std::wstring& exe, const std::wstring& arguments, const std::wstring& workingFolder,
                         DWORD timeoutMs = 60000);

// Runs `work` on a thread of its own and waits for its end up to `timeoutMs`: false when it
// has not ended by then (it then runs on, left to itself).
bool finishesWithin(DWORD timeoutMs, std::function<void()> work);

// An installation folder with a copy of the launcher in it, and the launcher run there.
class LauncherRun {
public:
    explicit LauncherRun(const TempFolder& installation) : folder_(installation) {}
    // Copies the built launcher into the installation as ornivel.exe (or another name).
    std::wstring installLauncher(const std::wstring& name = L"ornivel.exe") const;
    ProcessResult run(const std::wstring& arguments, DWORD timeoutMs = 60000) const;
    std::string logText() const { return folder_.read(L"log\\launcher.log"); }
    std::vector<std::string> logLines() const { return splitLines(logText()); }

private:
    const TempFolder& folder_;
};

// Keeps every message it is given (level and raw text) and the expanded lines.
class CapturingAppender : public CLogAppender {
public:
    explicit CapturingAppender(int threshold = 0, const std::wstring& pattern = L"%e|%m")
        : CLogAppender(threshold, pattern) {}
    bool append(int level, const std::wstring& message) override;

    std::vector<std::pair<int, std::wstring>> messages;
    std::vector<std::wstring> lines;
    bool has(int level, const std::wstring& message) const;
    bool hasPrefix(int level, const std::wstring& prefix) const;
    size_t count(int level, const std::wstring& message) const;
};

} // namespace ornivel::test
