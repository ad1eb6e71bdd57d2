#pragma once
// Support of the tests that run the Java host on a real HotSpot VM (native build only).
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "launcher/LoginRecord.h"
#include "logdriver/LogAppender.h"
#include "logdriver/LogDriver.h"

namespace ornivel {
class ThreadStartVM;
}

namespace ornivel::test {

// A fresh installation folder that is the process's working folder while the object lives:
// the JDK as the installation's runtime ("java_17.0.1", a link), the reference client's JAR
// in "module/" and the host check's JAR in "system/jar/". Removed again at the end.
class RealInstallation {
public:
    RealInstallation();
    ~RealInstallation();
    RealInstallation(const RealInstallation&) = delete;
    RealInstallation& operator=(const RealInstallation&) = delete;

    const std::string& path() const { return path_; }  // with a trailing slash
    void write(const std::string& relative, const std::string& bytes) const;
    std::string read(const std::string& relative) const;
    bool exists(const std::string& relative) const;

    // The installation's JARs in the launcher's order (module/ before system/jar/), each
    // followed by the runtime's path separator: ':' on Linux, where Windows has ';'.
    static std::wstring classPath();

private:
    std::string path_;
    std::string previous_;
};

// Keeps every message it is given.
class MemoryAppender : public CLogAppender {
public:
    MemoryAppender() : CLogAppender(0, L"%e|%m") {}
    bool append(int level, const std::wstring& message) override;
    // How many messages contain the text.
    int count(const std::wstring& part) const;
    bool has(int level, const std::wstring& message) const;
    std::string text() const;

private:
    mutable std::mutex mutex_;
    std::vector<std::pair<int, std::wstring>> messages_;
};

// Standard error (what the VM prints, and the debugger output) goes into a file while the
// object lives.
class StandardErrorCapture {
public:
    explicit StandardErrorCapture(const std::string& path);
    ~StandardErrorCapture();
    StandardErrorCapture(const StandardErrorCapture&) = delete;
    StandardErrorCapture& operator=(const StandardErrorCapture&) = delete;
    std::string text() const;

private:
    std::string path_;
    int saved_;
};

// Configures the Java main thread for the installation in the working folder the way the
// launcher's start-up does: its system properties, "system.properties", "jvm.properties",
// the heap size from "heapsize.param", the class path and the log driver.
void configureLikeTheLauncher(ThreadStartVM& javaHost, const LogDriver& log);

// Writes the login record as the hand-off does: "launcher2.dat" removed, "launcher.dat"
// written whole as UTF-8.
void writeLoginRecord(const LoginInput& input);
// Calls getError every 40 ms until it gives a text, as the hand-off does (at most for
// `limitMs`; empty when none came).
std::wstring pollOutcome(ThreadStartVM& javaHost, int limitMs = 30000);

std::string utf8(const std::wstring& text);

} // namespace ornivel::test
