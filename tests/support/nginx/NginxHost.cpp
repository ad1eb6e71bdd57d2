#include "tests/support/nginx/NginxHost.h"

#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <cstdlib>

#include "tests/support/TestSupport.h"
#include "tests/support/httpserver/TestHttpServer.h"
#include "tests/support/windows/WindowDriver.h"

namespace ornivel::test {

namespace {

int portOf(const std::string& text, const std::string& name) {
    const size_t at = text.find(name + "=");
    return at == std::string::npos ? 0 : std::atoi(text.c_str() + at + name.size() + 1);
}

std::string unhex(const std::string& text) {
    auto value = [](char c) { return c <= '9' ? c - '0' : c - 'a' + 10; };
    std::string bytes;
    for (size_t i = 0; i + 1 < text.size(); i += 2) bytes += static_cast<char>(value(text[i]) * 16 + value(text[i + 1]));
    return bytes;
}

} // namespace

NginxHost::NginxHost() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    static std::atomic<int> counter{0};
    runDir_ = std::string(ORNIVEL_NGINX_RUN_DIR) + "/host-" + std::to_string(GetCurrentProcessId()) + "-" +
              std::to_string(counter++);
    const std::string portFile = runDir_ + ".ports";
    DeleteFileW(windowsPathOf(portFile).c_str());
    CreateDirectoryW(windowsPathOf(ORNIVEL_NGINX_RUN_DIR).c_str(), nullptr);
    const std::string arguments = "\"" ORNIVEL_NGINX_SCRIPT "\" host --port-file \"" + portFile + "\" --run-dir \"" +
                                  runDir_ + "\" --tls-dir \"" ORNIVEL_TEST_TLS_DIR "\" --log \"" + runDir_ + ".log\"";
    std::wstring commandLine = windowsPathOf("/usr/bin/python3") + L" " + std::wstring(arguments.begin(), arguments.end());
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return;
    if (process.hProcess) CloseHandle(process.hProcess);
    if (process.hThread) CloseHandle(process.hThread);

    // The helper writes its ports once it listens (no event crosses from Linux to Wine).
    std::string ports;
    waitUntil([&] {
        if (fileExists(windowsPathOf(portFile))) ports = readFileBytes(windowsPathOf(portFile));
        return ports.find("control=") != std::string::npos;
    }, 10000);
    httpPort_ = portOf(ports, "http");
    httpsPort_ = portOf(ports, "https");
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

NginxHost::~NginxHost() {
    if (!running()) return;
    command("{\"cmd\":\"quit\"}");
    closesocket(static_cast<SOCKET>(control_));
}

std::string NginxHost::command(const std::string& json) {
    if (!running()) return "ERR not running";
    const SOCKET s = static_cast<SOCKET>(control_);
    const std::string line = json + "\n";
    for (size_t sent = 0; sent < line.size();) {
        const int n = send(s, line.data() + sent, static_cast<int>(line.size() - sent), 0);
        if (n <= 0) return "ERR send";
        sent += static_cast<size_t>(n);
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

NginxHost::Result NginxHost::run(const std::vector<std::string>& argv) {
    std::string json = "{\"cmd\":\"run\",\"argv\":[";
    for (size_t i = 0; i < argv.size(); ++i) json += (i ? "," : "") + jsonString(argv[i]);
    const std::string answer = command(json + "]}");
    Result result;
    if (answer.rfind("OK ", 0) != 0) {
        result.output = answer;
        return result;
    }
    const size_t space = answer.find(' ', 3);
    result.status = std::atoi(answer.substr(3, space - 3).c_str());
    if (space != std::string::npos) result.output = unhex(answer.substr(space + 1));
    return result;
}

bool NginxHost::serve(const std::wstring& fragment, std::string& complaint, const std::string& extra) {
    complaint = command("{\"cmd\":\"serve\",\"fragment\":" + jsonString(unixPathOf(fragment)) +
                        ",\"extra\":" + jsonString(extra) + "}");
    return complaint == "OK";
}

std::wstring NginxHost::accessLog() const { return windowsPathOf(runDir_ + "/logs/access.log"); }

} // namespace ornivel::test
