// Figures of the synchronisation:
//   bench_sync compare <file count> <work folder>
//     the comparison pass over an installation that is already current, once with
//     checksums in the list and once with size and time only (the files are made once and
//     kept in <work folder>\compare for later runs), and the same files only opened and read
//     (what any reading of them costs on this system, digest aside);
//   bench_sync sync <http port> <installation folder> [server path [logged]]
//     a whole first synchronisation from the server's deployment (default "/sync"; the
//     saved answer stands in for the version check); with "logged" through the launcher's
//     own appenders (debugger output, standard output, "log\launcher.log").
// Prints "RESULT <name> <seconds> <bytes or files>" lines.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "common/FileTimes.h"
#include "common/Text.h"
#include "remote/RemoteSource.h"
#include "filelist/FileList.h"
#include "filelist/Md5.h"
#include "sync/OrnivelSynchronizer.h"
#include "config/StoredValues.h"

using namespace ornivel;

namespace {

double seconds() {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Any download would be a fault here: the installation is current.
class NoSource : public RemoteSource {
public:
    NoSource() : RemoteSource(LogDriver(L"bench")) {}
    bool fetch(std::wstring, std::wstring, ProgressListener*, NameBytes = NameBytes::Utf8) override {
        ++calls;
        return false;
    }
    int calls = 0;
};

int compare(int count, const std::wstring& work) {
    const std::wstring folder = work + L"\\compare\\";
    CreateDirectoryW(work.c_str(), nullptr);
    CreateDirectoryW(folder.c_str(), nullptr);
    FILETIME written{};
    SYSTEMTIME listed{2024, 2, 0, 1, 10, 0, 0, 0};
    SystemTimeToFileTime(&listed, &written);
    FILETIME local{};
    FileTimeToLocalFileTime(&written, &local);

    // The files of an earlier run are kept; the marker names their count.
    const std::wstring marker = folder + L"made-" + std::to_wstring(count);
    const bool made = GetFileAttributesW(marker.c_str()) != INVALID_FILE_ATTRIBUTES;
    FileList withChecksums, withoutChecksums;
    std::string bytes(4096, '\0');
    for (int i = 0; i < count; ++i) {
        const std::wstring relative = formatWide(L"module\\group%02d\\file%05d.jar", i % 50, i);
        for (size_t k = 0; k < bytes.size(); ++k) bytes[k] = static_cast<char>((i * 31 + k) & 0xFF);
        if (!made) {
            if (i < 50) CreateDirectoryW((folder + L"module").c_str(), nullptr);
            CreateDirectoryW((folder + relative.substr(0, relative.find_last_of(L'\\'))).c_str(), nullptr);
            HANDLE file = CreateFileW((folder + relative).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
            DWORD done = 0;
            WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
            SetFileTime(file, nullptr, nullptr, &written);
            CloseHandle(file);
        }
        MD5 digest;
        digest.update(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
        digest.finalize();
        withChecksums.insert(FileListFile(relative, fromAnsi(digest.hex_digest()), 4096, ticksOfFileTime(local)));
        withoutChecksums.insert(FileListFile(relative, L"", 4096, ticksOfFileTime(local)));
    }
    if (!made) CloseHandle(CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    SetCurrentDirectoryW(folder.c_str());
    std::vector<char> block(1024 * 1024);
    double t0 = seconds();
    long long read = 0;
    for (const FileListFile& file : withChecksums.files()) {
        HANDLE handle = CreateFileW((folder + file.path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        DWORD got = 0;
        while (ReadFile(handle, block.data(), static_cast<DWORD>(block.size()), &got, nullptr) && got > 0) read += got;
        CloseHandle(handle);
    }
    std::printf("RESULT compare-bare %.3f %d %s\n", seconds() - t0, count, read == 4096LL * count ? "ok" : "SHORT");
    LogDriver log(L"bench");
    for (int round = 0; round < 2; ++round) {
        const bool checksums = round == 0;
        OrnivelSynchronizer sync(false, folder, log, false);
        NoSource source;
        double t0 = seconds();
        bool ok = sync.downloadChangedFiles(checksums ? withChecksums : withoutChecksums, source);
        double t1 = seconds();
        std::printf("RESULT %s %.3f %d %s\n", checksums ? "compare-checksum" : "compare-size-time", t1 - t0, count,
                    ok && source.calls == 0 ? "ok" : "UNEXPECTED-DOWNLOADS");
    }
    return 0;
}

int fullSync(int port, const std::wstring& installation, const std::wstring& serverPath, bool logged) {
    CreateDirectoryW(installation.c_str(), nullptr);
    SetCurrentDirectoryW(installation.c_str());
    const std::wstring key = L"Software\\OrnivelBench\\deployment\\";
    RegistryString(key).set(formatWide(L"http|127.0.0.1|%s|%d|||", serverPath.c_str(), port));
    LogDriver log(L"bench");
    if (logged) {
        const wchar_t* pattern = L"%d %t | %s | %e | %m";
        CreateDirectoryW(L"log", nullptr);
        log.addAppender(new CConsoleLogAppender(true, LOG_DEBUG, pattern));
        log.addAppender(new CConsoleLogAppender(false, LOG_DEBUG, pattern));
        log.addAppender(new CFileLogAppender(LOG_DEBUG, L"log\\launcher.log", pattern));
    }
    OrnivelSynchronizer sync(false, installation, log, false);
    double t0 = seconds();
    bool ok = sync.synchronizeFolder(key, L"");
    double t1 = seconds();
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\OrnivelBench");
    std::printf("RESULT full-sync %.3f 0 %s\n", t1 - t0, ok ? "ok" : "FAILED");
    return ok ? 0 : 1;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 4 && std::wstring(argv[1]) == L"compare")
        return compare(static_cast<int>(std::wcstol(argv[2], nullptr, 10)), argv[3]);
    if (argc >= 4 && argc <= 6 && std::wstring(argv[1]) == L"sync")
        return fullSync(static_cast<int>(std::wcstol(argv[2], nullptr, 10)), argv[3], argc >= 5 ? argv[4] : L"/sync",
                        argc == 6 && std::wstring(argv[5]) == L"logged");
    std::fprintf(stderr, "usage: bench_sync compare <count> <work folder> | sync <port> <installation> [path [logged]]\n");
    return 2;
}
