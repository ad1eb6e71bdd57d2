// Downloads files with one source and reports how long it took and the process's peak
// working set, one line per run:
//   RESULT <source>-<case> <seconds> <bytes> <ok|FAILED> <peak working set> <working set before>
// Usage:
//   bench_remote <source> <port or share path> <output folder> big <remote name> [server path]
//   bench_remote <source> <port or share path> <output folder> small <count> [server path]
//   bench_remote <source> <port or share path> <output folder> list <names file> [server path]
// Sources: winhttp, socket, share, and winhttp-bare and socket-bare: the same requests made
// straight with the system's calls and nothing written, which is what the system alone costs;
// winhttp-loop: the plainest program that does the job with the platform's own transport, one
// file after the other through one WinHTTP session and connection, each body written to its
// file as it arrives.
// HTTP sources fetch from 127.0.0.1:<port><server path> ("/bench" unless given; an empty one
// takes the names from the server's root); the small files are small\f<i>.bin; a names file
// holds one remote name a line.
#include <winsock2.h>
#include <windows.h>
#include <psapi.h>
#include <winhttp.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "logdriver/LogDriver.h"
#include "remote/HttpText.h"
#include "remote/SocketSource.h"
#include "remote/ShareSource.h"
#include "remote/WinHttpSource.h"

using namespace ornivel;

namespace {

double now() {
    LARGE_INTEGER counter, frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

unsigned long long fileSize(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

PROCESS_MEMORY_COUNTERS memory() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters;
}

// The share needs no connection under Wine: UNC paths reach the folder directly.
class AlwaysConnected : public ShareConnector {
public:
    DWORD addConnection(NETRESOURCEW*, const wchar_t*, const wchar_t*, DWORD) override { return NO_ERROR; }
    DWORD cancelConnection(const wchar_t*, DWORD, BOOL) override { return NO_ERROR; }
};

unsigned long long bareBytes = 0;  // what the bare sources received

std::wstring slashes(std::wstring name) {
    for (wchar_t& c : name)
        if (c == L'\\') c = L'/';
    return name;
}

// WinHTTP alone: one session and connection (opened with the first request, so that the time
// includes them), one GET per file, the body read in large blocks and dropped, or with
// `write` written to the local file (its folders made when missing) and nothing else: no
// partial name, no checks.
class BareWinHttp : public RemoteSource {
public:
    BareWinHttp(unsigned short port, const std::wstring& path, bool write, const LogDriver& log)
        : RemoteSource(log), port_(port), path_(path), write_(write) {}
    ~BareWinHttp() override {
        if (connection_) WinHttpCloseHandle(connection_);
        if (session_) WinHttpCloseHandle(session_);
    }
    bool download(std::wstring remoteName, std::wstring localPath, ProgressListener* listener) override {
        return fetch(std::move(remoteName), std::move(localPath), listener);
    }
    bool fetch(std::wstring remoteName, std::wstring localPath, ProgressListener*,
               NameBytes = NameBytes::Utf8) override {
        if (!session_) {
            session_ = WinHttpOpen(L"ornivel", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                                   WINHTTP_NO_PROXY_BYPASS, 0);
            if (session_) connection_ = WinHttpConnect(session_, L"127.0.0.1", port_, 0);
        }
        if (!connection_) return false;
        const std::wstring object = path_ + L"/" + slashes(remoteName);
        HINTERNET request = WinHttpOpenRequest(connection_, L"GET", object.c_str(), nullptr, WINHTTP_NO_REFERER,
                                               WINHTTP_DEFAULT_ACCEPT_TYPES, WINHTTP_FLAG_REFRESH);
        bool ok = request && WinHttpSendRequest(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0,
                                                0, 0) &&
                  WinHttpReceiveResponse(request, nullptr);
        DWORD status = 0, size = sizeof status;
        ok = ok && WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                                       WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX) &&
             status == 200;
        HANDLE file = INVALID_HANDLE_VALUE;
        if (ok && write_) {
            file = create(localPath);
            ok = file != INVALID_HANDLE_VALUE;
        }
        for (DWORD available = 0; ok && WinHttpQueryDataAvailable(request, &available) && available > 0;) {
            DWORD read = 0, written = 0;
            ok = WinHttpReadData(request, buffer_.data(), static_cast<DWORD>(buffer_.size()), &read) != FALSE;
            bareBytes += read;
            if (ok && file != INVALID_HANDLE_VALUE)
                ok = WriteFile(file, buffer_.data(), read, &written, nullptr) && written == read;
        }
        if (file != INVALID_HANDLE_VALUE) ok = CloseHandle(file) && ok;
        if (request) WinHttpCloseHandle(request);
        return ok;
    }

private:
    // Makes the missing folders of a path only when the file cannot be made without them.
    static HANDLE create(const std::wstring& path) {
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                  nullptr);
        if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_PATH_NOT_FOUND) return file;
        for (size_t slash = path.find(L'\\', 3); slash != std::wstring::npos; slash = path.find(L'\\', slash + 1))
            CreateDirectoryW(path.substr(0, slash).c_str(), nullptr);
        return CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    }

    unsigned short port_;
    std::wstring path_;
    bool write_;
    HINTERNET session_ = nullptr, connection_ = nullptr;
    std::vector<char> buffer_ = std::vector<char>(1024 * 1024);
};

// Sockets alone: per file a new connection, the same request text, the answer received by its
// Content-Length and dropped.
class BareSocket : public RemoteSource {
public:
    BareSocket(unsigned short port, const std::wstring& path, const LogDriver& log)
        : RemoteSource(log), port_(port), path_(path.begin(), path.end()) {
        WSADATA data;
        WSAStartup(MAKEWORD(1, 1), &data);
    }
    bool download(std::wstring remoteName, std::wstring localPath, ProgressListener* listener) override {
        return fetch(std::move(remoteName), std::move(localPath), listener);
    }
    bool fetch(std::wstring remoteName, std::wstring, ProgressListener*, NameBytes = NameBytes::Utf8) override {
        SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
        DWORD timeout = 10000;
        setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port_);
        const hostent* host = gethostbyname("127.0.0.1");
        memcpy(&address.sin_addr, host->h_addr_list[0], sizeof address.sin_addr);
        bool ok = connect(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
        const std::wstring name = slashes(remoteName);
        const std::string text = buildRequestText(path_ + "/" + std::string(name.begin(), name.end()), "127.0.0.1",
                                                  nullptr, 0);
        ok = ok && send(s, text.data(), static_cast<int>(text.size()), 0) == static_cast<int>(text.size());
        std::string header;
        uint64_t length = 0, body = 0;
        bool headerDone = false;
        while (ok) {
            const int got = recv(s, buffer_.data(), static_cast<int>(buffer_.size()), 0);
            if (got <= 0) break;
            bareBytes += static_cast<unsigned>(got);
            if (!headerDone) {
                header.append(buffer_.data(), static_cast<size_t>(got));
                const size_t end = header.find("\r\n\r\n");
                if (end == std::string::npos) continue;
                headerDone = parseContentLength(header, length);
                body = header.size() - (end + 4);
            } else {
                body += static_cast<unsigned>(got);
            }
            if (body >= length) break;
        }
        closesocket(s);
        return ok && headerDone && body == length;
    }

private:
    unsigned short port_;
    std::string path_;
    std::vector<char> buffer_ = std::vector<char>(64 * 1024);
};

std::unique_ptr<RemoteSource> makeSource(const std::wstring& kind, const std::wstring& where, const std::wstring& path,
                                         const LogDriver& log) {
    static AlwaysConnected connector;
    const auto port = static_cast<unsigned short>(std::wcstoul(where.c_str(), nullptr, 10));
    if (kind == L"winhttp") return std::make_unique<RemoteSourceWININET>(L"127.0.0.1", path, port, log, false);
    if (kind == L"socket") return std::make_unique<RemoteSourceHTTP>(L"127.0.0.1", path.substr(1), port, log, true);
    if (kind == L"share") return std::make_unique<RemoteSourceNET>(where, L"", L"", log, connector);
    if (kind == L"winhttp-bare") return std::make_unique<BareWinHttp>(port, path, false, log);
    if (kind == L"winhttp-loop") return std::make_unique<BareWinHttp>(port, path, true, log);
    if (kind == L"socket-bare") return std::make_unique<BareSocket>(port, path, log);
    return nullptr;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 6) {
        std::fprintf(stderr, "usage: bench_remote <winhttp|socket|share|winhttp-loop> <port|share> <out> big <name> "
                             "| small <count> | list <names file> [server path]\n");
        return 2;
    }
    const std::wstring kind = argv[1], where = argv[2], out = argv[3], mode = argv[4], arg = argv[5];
    const std::wstring serverPath = argc > 6 ? argv[6] : L"/bench";
    LogDriver log(L"bench");  // no appenders: logging costs only the formatting
    std::unique_ptr<RemoteSource> source = makeSource(kind, where, serverPath, log);
    if (!source) return 2;
    CreateDirectoryW(out.c_str(), nullptr);

    std::vector<std::wstring> names;
    if (mode == L"small") {
        for (int i = 0, count = std::wcstol(arg.c_str(), nullptr, 10); i < count; ++i)
            names.push_back(L"small\\f" + std::to_wstring(i) + L".bin");
    } else if (mode == L"list") {
        std::ifstream list(arg.c_str());
        for (std::string line; std::getline(list, line);)
            if (!line.empty()) names.emplace_back(line.begin(), line.end());
    }

    const SIZE_T before = memory().WorkingSetSize;
    unsigned long long bytes = 0;
    bool ok = true;
    const double start = now();
    if (mode == L"big") {
        ok = source->download(arg, out + L"\\" + arg, nullptr);
    } else {
        for (const std::wstring& name : names) ok &= source->download(name, out + L"\\" + name, nullptr);
    }
    const double seconds = now() - start;
    if (kind.find(L"-bare") != std::wstring::npos) {
        bytes = bareBytes;
    } else if (mode == L"big") {
        bytes = fileSize(out + L"\\" + arg);
    } else {
        for (const std::wstring& name : names) bytes += fileSize(out + L"\\" + name);
    }
    std::printf("RESULT %ls-%ls %.4f %llu %s %llu %llu\n", kind.c_str(), mode.c_str(), seconds, bytes,
                ok ? "ok" : "FAILED", static_cast<unsigned long long>(memory().PeakWorkingSetSize),
                static_cast<unsigned long long>(before));
    return ok ? 0 : 1;
}
