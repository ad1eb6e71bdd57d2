#include "tests/support/windows/LinuxHelper.h"

#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <cstdlib>

#include "tests/support/TestSupport.h"
#include "tests/support/windows/WindowDriver.h"

namespace ornivel::test {

LinuxHelper::LinuxHelper(const std::string& script, const std::string& runRoot, const std::string& arguments,
                         uint32_t waitMs) {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    static std::atomic<int> counter{0};
    runDir_ = runRoot + "/host-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(counter++);
    const std::string portFile = runDir_ + ".ports";
    DeleteFileW(windowsPathOf(portFile).c_str());
    CreateDirectoryW(windowsPathOf(runRoot).c_str(), nullptr);
    std::string line = "\"" + script + "\" host --port-file \"" + portFile + "\" --run-dir \"" + runDir_ + "\" ";
    for (size_t at = 0; at < arguments.size();) {
        const size_t run = arguments.find("{run}", at);
        line += arguments.substr(at, run == std::string::npos ? std::string::npos : run - at);
        if (run == std::string::npos) break;
        line += runDir_;
        at = run + 5;
    }
    std::wstring commandLine = windowsPathOf("/usr/bin/python3") + L" " + std::wstring(line.begin(), line.end());
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return;
    if (process.hProcess) CloseHandle(process.hProcess);
    if (process.hThread) CloseHandle(process.hThread);

    waitUntil([&] {
        if (fileExists(windowsPathOf(portFile))) ports_ = readFileBytes(windowsPathOf(portFile));
        return ports_.find("control=") != std::string::npos;
    }, waitMs);
    const int controlPort = port("control");
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

LinuxHelper::~LinuxHelper() {
    if (running()) closesocket(static_cast<SOCKET>(control_));
}

int LinuxHelper::port(const std::string& name) const {
    const std::string key = name + "=";
    for (size_t at = ports_.find(key); at != std::string::npos; at = ports_.find(key, at + 1))
        if (at == 0 || ports_[at - 1] == '\n') return std::atoi(ports_.c_str() + at + key.size());
    return 0;
}

std::string LinuxHelper::command(const std::string& line) {
    if (!running()) return "ERR not running";
    const SOCKET s = static_cast<SOCKET>(control_);
    const std::string sent = line + "\n";
    for (size_t done = 0; done < sent.size();) {
        const int n = send(s, sent.data() + done, static_cast<int>(sent.size() - done), 0);
        if (n <= 0) return "ERR send";
        done += static_cast<size_t>(n);
    }
    std::string answer;
    char buffer[65536];
    while (answer.empty() || answer.back() != '\n') {
        const int n = recv(s, buffer, sizeof buffer, 0);
        if (n <= 0) return "ERR receive";
        answer.append(buffer, static_cast<size_t>(n));
    }
    answer.pop_back();
    return answer;
}

} // namespace ornivel::test
