#include "tests/support/squid/SquidHost.h"

#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <cstdlib>

#include "tests/support/TestSupport.h"
#include "tests/support/windows/WindowDriver.h"

namespace ornivel::test {

namespace {

int portOf(const std::string& text, const std::string& name) {
    const size_t at = text.find(name + "=");
    return at == std::string::npos ? 0 : std::atoi(text.c_str() + at + name.size() + 1);
}

} // namespace

SquidHost::SquidHost(const std::vector<std::string>& hosts, const std::vector<std::string>& users) {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    static std::atomic<int> counter{0};
    runDir_ = std::string(ORNIVEL_SQUID_RUN_DIR) + "/host-" + std::to_string(GetCurrentProcessId()) + "-" +
              std::to_string(counter++);
    const std::string portFile = runDir_ + ".ports";
    DeleteFileW(windowsPathOf(portFile).c_str());
    CreateDirectoryW(windowsPathOf(ORNIVEL_SQUID_RUN_DIR).c_str(), nullptr);
    std::string arguments = "\"" ORNIVEL_SQUID_SCRIPT "\" host --port-file \"" + portFile + "\" --run-dir \"" + runDir_ + "\"";
    for (const std::string& host : hosts) arguments += " --host " + host;
    for (const std::string& user : users) arguments += " --user " + user;
    std::wstring commandLine = windowsPathOf("/usr/bin/python3") + L" " + std::wstring(arguments.begin(), arguments.end());
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return;
    if (process.hProcess) CloseHandle(process.hProcess);
    if (process.hThread) CloseHandle(process.hThread);

    // The helper writes its ports once squid serves (no event crosses from Linux to Wine).
    std::string ports;
    waitUntil([&] {
        if (fileExists(windowsPathOf(portFile))) ports = readFileBytes(windowsPathOf(portFile));
        return ports.find("control=") != std::string::npos;
    }, 30000);
    openPort_ = portOf(ports, "open");
    authPort_ = portOf(ports, "auth");
    const int controlPort = portOf(ports, "control");
    if (controlPort == 0) return;
    SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<u_short>(controlPort));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        closesocket(s);
        return;
    }
    control_ = static_cast<uintptr_t>(s);
}

SquidHost::~SquidHost() {
    // Closing the control connection ends squid.
    if (running()) closesocket(static_cast<SOCKET>(control_));
}

std::wstring SquidHost::accessLog() const { return windowsPathOf(runDir_ + "/access.log"); }

} // namespace ornivel::test
