// Downloads one large file and many small files from a running test server with each HTTP
// source and prints the seconds each took, one "RESULT <name> <seconds> <bytes>" line per run.
// Usage: bench_remote <http port> <output folder> <big file name> <small file count>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "logdriver/LogDriver.h"
#include "remote/RemoteSourceHTTP.h"
#include "remote/RemoteSourceWININET.h"

using namespace ornivel;

namespace {

double seconds(LARGE_INTEGER from, LARGE_INTEGER to) {
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    return double(to.QuadPart - from.QuadPart) / double(frequency.QuadPart);
}

unsigned long long fileSize(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

void run(const char* name, RemoteSource& source, const std::wstring& out, const std::wstring& big, int smallCount) {
    LARGE_INTEGER start, end;
    ::QueryPerformanceCounter(&start);
    bool ok = source.download(big, out + L"\\" + big, nullptr);
    ::QueryPerformanceCounter(&end);
    std::printf("RESULT %s-big %.3f %llu %s\n", name, seconds(start, end), fileSize(out + L"\\" + big), ok ? "ok" : "FAILED");

    unsigned long long bytes = 0;
    int failed = 0;
    ::QueryPerformanceCounter(&start);
    for (int i = 0; i < smallCount; ++i) {
        std::wstring name = L"small\\f" + std::to_wstring(i) + L".bin";
        if (!source.download(name, out + L"\\" + name, nullptr)) ++failed;
    }
    ::QueryPerformanceCounter(&end);
    for (int i = 0; i < smallCount; ++i) bytes += fileSize(out + L"\\small\\f" + std::to_wstring(i) + L".bin");
    std::printf("RESULT %s-small %.3f %llu %s\n", name, seconds(start, end), bytes, failed ? "FAILED" : "ok");
    std::fflush(stdout);
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 5) {
        std::fprintf(stderr, "usage: bench_remote <port> <output folder> <big file> <small count>\n");
        return 2;
    }
    const auto port = static_cast<unsigned short>(std::wcstoul(argv[1], nullptr, 10));
    const std::wstring out = argv[2];
    const std::wstring big = argv[3];
    const int smallCount = static_cast<int>(std::wcstol(argv[4], nullptr, 10));
    LogDriver log(L"bench");  // no appenders: logging costs only the formatting

    {
        RemoteSourceWININET source(L"127.0.0.1", L"/bench", port, log, false);
        run("winhttp", source, out + L"\\winhttp", big, smallCount);
    }
    {
        RemoteSourceHTTP source(L"127.0.0.1", L"bench", port, log, false);
        run("socket", source, out + L"\\socket", big, smallCount);
    }
    return 0;
}
