// Downloads files with one source and reports how long it took and the process's peak
// working set, one line per run:
//   RESULT <source>-<case> <seconds> <bytes> <ok|FAILED> <peak working set> <working set before>
// Usage:
//   bench_remote <source> <port or share path> <output folder> big <remote name> [server path]
//   bench_remote <source> <port or share path> <output folder> small <count> [server path]
//   bench_remote <source> <port or share path> <output folder> list <names file> [server path]
// Sources: winhttp, socket, share. HTTP sources fetch from 127.0.0.1:<port><server path>
// ("/bench" unless given); the small files are small\f<i>.bin; a names file holds one remote
// name a line.
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "logdriver/LogDriver.h"
#include "remote/RemoteSourceHTTP.h"
#include "remote/RemoteSourceNET.h"
#include "remote/RemoteSourceWININET.h"

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

std::unique_ptr<RemoteSource> makeSource(const std::wstring& kind, const std::wstring& where, const std::wstring& path,
                                         const LogDriver& log) {
    static AlwaysConnected connector;
    const auto port = static_cast<unsigned short>(std::wcstoul(where.c_str(), nullptr, 10));
    if (kind == L"winhttp") return std::make_unique<RemoteSourceWININET>(L"127.0.0.1", path, port, log, false);
    if (kind == L"socket") return std::make_unique<RemoteSourceHTTP>(L"127.0.0.1", path.substr(1), port, log, true);
    if (kind == L"share") return std::make_unique<RemoteSourceNET>(where, L"", L"", log, connector);
    return nullptr;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 6) {
        std::fprintf(stderr, "usage: bench_remote <winhttp|socket|share> <port|share> <out> big <name> | small <count> "
                             "| list <names file> [server path]\n");
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
    if (mode == L"big") {
        bytes = fileSize(out + L"\\" + arg);
    } else {
        for (const std::wstring& name : names) bytes += fileSize(out + L"\\" + name);
    }
    std::printf("RESULT %ls-%ls %.4f %llu %s %llu %llu\n", kind.c_str(), mode.c_str(), seconds, bytes,
                ok ? "ok" : "FAILED", static_cast<unsigned long long>(memory().PeakWorkingSetSize),
                static_cast<unsigned long long>(before));
    return ok ? 0 : 1;
}
