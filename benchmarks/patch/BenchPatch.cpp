// Rebuilding a large file from a patch the way the launcher does (sync/PatchRebuild.h): the
// installed file and the new one as mapped views, the patch read in pieces.
//
//   bench_patch make FOLDER MIB     old.bin (MIB MiB of incompressible bytes), new.bin (a few
//                                   per cent of it changed, moved or new) and new.patch
//   bench_patch rebuild FOLDER      rebuilds rebuilt.bin from old.bin and new.patch and prints
//                                   "seconds=S private_peak=B working_set_peak=B start_private=B
//                                   start_working_set=B same=1"
//
// Private memory is sampled from the process's counters every 2 ms.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "sync/PatchRebuild.h"
#include "tools/publish/PatchWriter.h"

namespace {

std::string readAll(const std::wstring& path) {
    std::string bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return bytes;
    LARGE_INTEGER size{};
    GetFileSizeEx(file, &size);
    bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD got = 0;
    for (size_t at = 0; at < bytes.size(); at += got)
        if (!ReadFile(file, &bytes[at], static_cast<DWORD>(std::min<size_t>(bytes.size() - at, 1 << 24)), &got, nullptr) ||
            got == 0)
            break;
    CloseHandle(file);
    return bytes;
}

bool writeAll(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD done = 0;
    bool ok = true;
    for (size_t at = 0; ok && at < bytes.size(); at += done)
        ok = WriteFile(file, bytes.data() + at, static_cast<DWORD>(std::min<size_t>(bytes.size() - at, 1 << 24)), &done,
                       nullptr) != FALSE;
    CloseHandle(file);
    return ok;
}

// Private memory in bytes: the process's own memory in use (Wine counts its anonymous
// resident memory; a file opened by path would be opened by the Wine server, whose memory it
// would show).
long long privateBytes() {
    PROCESS_MEMORY_COUNTERS counters{};
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return static_cast<long long>(counters.PagefileUsage);
}

int make(const std::wstring& folder, size_t mib) {
    std::string older(mib << 20, '\0');
    uint64_t state = 88172645463325252ull;
    for (size_t at = 0; at + 8 <= older.size(); at += 8) {
        state ^= state << 13, state ^= state >> 7, state ^= state << 17;
        std::memcpy(&older[at], &state, 8);
    }
    // A release: every 4 MiB a changed stretch of 40 KiB and a new one of 20 KiB, one piece moved.
    std::string newer;
    newer.reserve(older.size() + (older.size() >> 6));
    for (size_t at = 0; at < older.size(); at += 4 << 20) {
        std::string piece = older.substr(at, 4 << 20);
        for (size_t i = 0; i < 40 * 1024 && i < piece.size(); i += 8) std::memcpy(&piece[i + 1000], &state, 8), state += 7;
        newer += piece;
        newer.append(20 * 1024, static_cast<char>(at >> 20));
    }
    std::rotate(newer.begin(), newer.begin() + (8 << 20), newer.begin() + (16 << 20));
    std::string patch, error;
    if (ornivel::publish::makePatch(older, newer, patch, error) != ornivel::publish::PatchResult::Written) {
        std::fprintf(stderr, "no patch: %s\n", error.c_str());
        return 1;
    }
    if (!writeAll(folder + L"\\old.bin", older) || !writeAll(folder + L"\\new.bin", newer) ||
        !writeAll(folder + L"\\new.patch", patch))
        return 1;
    std::printf("old=%zu new=%zu patch=%zu\n", older.size(), newer.size(), patch.size());
    return 0;
}

int rebuild(const std::wstring& folder) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW((folder + L"\\new.bin").c_str(), GetFileExInfoStandard, &data)) return 1;
    const uint64_t size = (uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    PROCESS_MEMORY_COUNTERS start{};
    GetProcessMemoryInfo(GetCurrentProcess(), &start, sizeof start);
    const long long startPrivate = privateBytes();
    std::atomic<bool> done{false};
    std::atomic<long long> peakPrivate{startPrivate};
    std::thread sampler([&] {
        while (!done) {
            const long long now = privateBytes();
            if (now > peakPrivate) peakPrivate = now;
            Sleep(2);
        }
    });
    const auto began = std::chrono::steady_clock::now();
    std::string detail;
    const ornivel::PatchOutcome outcome = ornivel::rebuildFileFromPatch(
        folder + L"\\old.bin", folder + L"\\new.patch", folder + L"\\rebuilt.bin", size, &detail);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    done = true;
    sampler.join();
    PROCESS_MEMORY_COUNTERS end{};
    GetProcessMemoryInfo(GetCurrentProcess(), &end, sizeof end);
    if (outcome != ornivel::PatchOutcome::Rebuilt) {
        std::fprintf(stderr, "not rebuilt: %s\n", detail.c_str());
        return 1;
    }
    const bool same = readAll(folder + L"\\rebuilt.bin") == readAll(folder + L"\\new.bin");
    std::printf("seconds=%.3f private_peak=%lld working_set_peak=%llu start_private=%lld start_working_set=%llu same=%d\n",
                seconds, peakPrivate.load(), static_cast<unsigned long long>(end.PeakWorkingSetSize), startPrivate,
                static_cast<unsigned long long>(start.WorkingSetSize), same ? 1 : 0);
    return same ? 0 : 1;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 4 && std::wstring(argv[1]) == L"make") return make(argv[2], static_cast<size_t>(_wtoi(argv[3])));
    if (argc == 3 && std::wstring(argv[1]) == L"rebuild") return rebuild(argv[2]);
    std::fprintf(stderr, "usage: bench_patch make FOLDER MIB | rebuild FOLDER\n");
    return 2;
}
