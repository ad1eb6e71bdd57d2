#include "tests/support/httpserver/TestHttpServer.h"

#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <cstdio>

#include "tests/support/TestSupport.h"

namespace ornivel::test {

namespace {

std::string hex(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

std::string unhex(const std::string& text) {
    auto value = [](char c) { return c <= '9' ? c - '0' : c - 'a' + 10; };
    std::string out;
    out.reserve(text.size() / 2);
    for (size_t i = 0; i + 1 < text.size(); i += 2) out += static_cast<char>(value(text[i]) * 16 + value(text[i + 1]));
    return out;
}

std::string answerJson(const HttpAnswer& a) {
    std::string j = "{\"status\":" + std::to_string(a.status);
    if (!a.reason.empty()) j += ",\"reason\":" + jsonString(a.reason);
    j += ",\"headers\":[";
    for (size_t i = 0; i < a.headers.size(); ++i) {
        if (i) j += ",";
        j += "[" + jsonString(a.headers[i].first) + "," + jsonString(a.headers[i].second) + "]";
    }
    j += "]";
    if (a.size >= 0) {
        j += ",\"size\":" + std::to_string(a.size);
    } else if (!a.unixFile.empty()) {
        j += ",\"file\":" + jsonString(a.unixFile);
    } else {
        j += ",\"body_hex\":\"" + hex(a.body) + "\"";
    }
    j += ",\"content_length\":" + (a.contentLength == "auto" || a.contentLength == "omit" ? jsonString(a.contentLength)
                                                                                          : a.contentLength);
    if (a.delay > 0) j += ",\"delay\":" + std::to_string(a.delay);
    if (a.bodyDelay > 0) j += ",\"body_delay\":" + std::to_string(a.bodyDelay);
    if (a.dropAfter >= 0) j += ",\"drop_after\":" + std::to_string(a.dropAfter);
    if (a.close) j += ",\"close\":true";
    if (a.noResponse) j += ",\"no_response\":true";
    if (!a.raw.empty()) j += ",\"raw_hex\":\"" + hex(a.raw) + "\"";
    if (a.bytesPerSecond > 0) j += ",\"bytes_per_second\":" + std::to_string(a.bytesPerSecond);
    if (a.endlessHeader) j += ",\"endless_header\":true";
    if (a.stallAfter >= 0) j += ",\"stall_after\":" + std::to_string(a.stallAfter);
    if (a.resetAfter >= 0) j += ",\"reset_after\":" + std::to_string(a.resetAfter);
    if (a.ignoreRange) j += ",\"ignore_range\":true";
    return j + "}";
}

bool unixFileExists(const std::string& unixPath) { return fileExists(windowsPathOf(unixPath)); }

int portOf(const std::string& text, const std::string& name) {
    size_t pos = text.find(name + "=");
    return pos == std::string::npos ? 0 : std::atoi(text.c_str() + pos + name.size() + 1);
}

} // namespace

std::string RecordedRequest::requestLine() const { return raw.substr(0, raw.find("\r\n")); }

std::string RecordedRequest::target() const {
    std::string line = requestLine();
    size_t first = line.find(' ');
    size_t last = line.rfind(' ');
    return first == std::string::npos || last <= first ? std::string() : line.substr(first + 1, last - first - 1);
}

std::string jsonString(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c >= 0x7f) {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\u%04x", c);  // Latin-1 code points, as the server reads them
            out += buffer;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string patternBytes(size_t size) {
    std::string bytes(size, '\0');
    for (size_t k = 0; k < size; ++k) bytes[k] = static_cast<char>(k % 251);
    return bytes;
}

TestHttpServer::TestHttpServer() {
    WSADATA data;
    ::WSAStartup(MAKEWORD(2, 2), &data);
    static std::atomic<int> counter{0};
    const std::string runDir = ORNIVEL_HTTPSERVER_RUN_DIR;
    ::CreateDirectoryW(windowsPathOf(runDir).c_str(), nullptr);
    const std::string stem = runDir + "/server-" + std::to_string(::GetCurrentProcessId()) + "-" +
                             std::to_string(counter++);
    const std::string portFile = stem + ".ports";
    ::DeleteFileW(windowsPathOf(portFile).c_str());

    std::string arguments = std::string("\"" ORNIVEL_HTTPSERVER_SCRIPT "\" --port-file \"") + portFile +
                            "\" --log \"" + stem + ".log\"";
    const std::string tls = ORNIVEL_TEST_TLS_DIR;
    if (unixFileExists(tls + "/server.pem") && unixFileExists(tls + "/server.key")) {
        arguments += " --cert \"" + tls + "/server.pem\" --key \"" + tls + "/server.key\"";
    }
    // Wine starts Linux programs through CreateProcess, but gives no handle for them: the
    // server's lifetime is tied to the control connection instead.
    std::wstring commandLine = windowsPathOf("/usr/bin/python3") + L" " + std::wstring(arguments.begin(), arguments.end());
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &process)) {
        return;
    }
    if (process.hProcess) ::CloseHandle(process.hProcess);
    if (process.hThread) ::CloseHandle(process.hThread);

    std::string ports;
    for (int i = 0; i < 200 && ports.find("control=") == std::string::npos; ++i) {
        ::Sleep(50);
        if (fileExists(windowsPathOf(portFile))) ports = readFileBytes(windowsPathOf(portFile));
    }
    httpPort_ = portOf(ports, "http");
    httpsPort_ = portOf(ports, "https");
    const int controlPort = portOf(ports, "control");
    if (controlPort == 0) return;

    SOCKET s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = ::htons(static_cast<u_short>(controlPort));
    address.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
    if (::connect(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::closesocket(s);
        return;
    }
    control_ = static_cast<uintptr_t>(s);
}

TestHttpServer::~TestHttpServer() {
    if (!running()) return;
    command("{\"cmd\":\"quit\"}");
    ::closesocket(static_cast<SOCKET>(control_));
}

std::string TestHttpServer::command(const std::string& json) {
    if (!running()) return "ERR not running";
    const SOCKET s = static_cast<SOCKET>(control_);
    const std::string line = json + "\n";
    size_t sent = 0;
    while (sent < line.size()) {
        int n = ::send(s, line.data() + sent, static_cast<int>(line.size() - sent), 0);
        if (n <= 0) return "ERR send";
        sent += static_cast<size_t>(n);
    }
    std::string answer;
    char buffer[65536];
    for (;;) {
        int n = ::recv(s, buffer, sizeof buffer, 0);
        if (n <= 0) return "ERR receive";
        answer.append(buffer, static_cast<size_t>(n));
        if (!answer.empty() && answer.back() == '\n') break;
    }
    answer.pop_back();
    return answer;
}

bool TestHttpServer::route(const std::string& target, const std::vector<HttpAnswer>& answers) {
    std::string json = "{\"cmd\":\"route\",\"path\":" + jsonString(target) + ",\"responses\":[";
    for (size_t i = 0; i < answers.size(); ++i) json += (i ? "," : "") + answerJson(answers[i]);
    return command(json + "]}") == "OK";
}

bool TestHttpServer::routePrefix(const std::string& prefix, const std::vector<HttpAnswer>& answers) {
    std::string json = "{\"cmd\":\"route\",\"prefix\":true,\"path\":" + jsonString(prefix) + ",\"responses\":[";
    for (size_t i = 0; i < answers.size(); ++i) json += (i ? "," : "") + answerJson(answers[i]);
    return command(json + "]}") == "OK";
}

bool TestHttpServer::serveFolder(const std::string& prefix, const std::wstring& folder, const HttpAnswer& options) {
    return command("{\"cmd\":\"folder\",\"prefix\":" + jsonString(prefix) + ",\"root\":" +
                   jsonString(unixPathOf(folder)) + ",\"answer\":" + answerJson(options) + "}") == "OK";
}

int64_t TestHttpServer::bodyBytesSent() {
    const std::string answer = command("{\"cmd\":\"sent\"}");
    return answer.compare(0, 3, "OK ") == 0 ? std::atoll(answer.c_str() + 3) : -1;
}

bool TestHttpServer::clear() { return command("{\"cmd\":\"clear\"}") == "OK"; }

std::vector<RecordedRequest> TestHttpServer::requests() {
    std::vector<RecordedRequest> result;
    const std::string answer = command("{\"cmd\":\"requests\"}");
    if (answer.compare(0, 2, "OK") != 0) return result;
    size_t pos = 2;
    while (pos < answer.size()) {
        while (pos < answer.size() && answer[pos] == ' ') ++pos;
        size_t end = answer.find(' ', pos);
        if (end == std::string::npos) end = answer.size();
        const std::string item = answer.substr(pos, end - pos);
        pos = end;
        size_t c1 = item.find(':'), c2 = item.find(':', c1 + 1);
        if (c1 == std::string::npos || c2 == std::string::npos) continue;
        RecordedRequest r;
        r.connection = std::atoi(item.substr(0, c1).c_str());
        r.tls = item[c1 + 1] == '1';
        r.raw = unhex(item.substr(c2 + 1));
        result.push_back(std::move(r));
    }
    return result;
}

} // namespace ornivel::test
