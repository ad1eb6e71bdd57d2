// Reports:
//   bench_updatedata md5 FILE   one digest of the file the way the comparison pass reads it,
//                               and the digest alone over as many bytes in memory
//                               ("RESULT md5-file <seconds> <digest>", "RESULT md5-memory <seconds>");
//   bench_updatedata lists      the client checksum time for 2,000 module files and the
//                               loading time of a 20,000-entry file list.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/Text.h"
#include "logdriver/LogDriver.h"
#include "sync/FileDigest.h"
#include "filelist/FileList.h"
#include "filelist/Md5.h"
#include "sync/OrnivelClient.h"
#include "tinyxml.h"

using namespace ornivel;

namespace {

double now() {
    LARGE_INTEGER frequency, counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

template <typename Work>
double bestOf(int runs, Work work) {
    double best = 1e9;
    for (int i = 0; i < runs; ++i) {
        double start = now();
        work();
        best = std::min(best, now() - start);
    }
    return best;
}

void writeFile(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    if (file != INVALID_HANDLE_VALUE) {
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        CloseHandle(file);
    }
}

std::wstring makeScratchFolder() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring folder = formatWide(L"%sornivel-bench-%u\\", temp, GetCurrentProcessId());
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

void removeTree(const std::wstring& folder) {
    std::wstring from = folder;
    if (!from.empty() && from.back() == L'\\') from.pop_back();
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((from + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = data.cFileName;
            if (name == L"." || name == L"..") continue;
            std::wstring path = from + L"\\" + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                removeTree(path);
            else
                DeleteFileW(path.c_str());
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    RemoveDirectoryW(from.c_str());
}

// One digest of the file as the comparison pass makes it, and the digest alone over as many
// bytes in memory: what lies between the two is file reading.
void md5Figures(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA info;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &info)) {
        std::printf("md5: cannot read %ls\n", path.c_str());
        return;
    }
    const double mib = (static_cast<double>(info.nFileSizeHigh) * 4294967296.0 + info.nFileSizeLow) / 1048576.0;
    std::string digest;
    std::vector<unsigned char> block = fileDigestBuffer();
    const double seconds = bestOf(1, [&] {
        HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        md5HexOfHandle(file, block, digest);
        CloseHandle(file);
    });
    std::printf("RESULT md5-file %.4f %s\n", seconds, digest.c_str());
    std::fill(block.begin(), block.end(), 0x5a);
    const double computeSeconds = bestOf(1, [&] {
        MD5 memory;
        for (int i = 0; i < static_cast<int>(mib); ++i) memory.update(block.data(), block.size());
        memory.finalize();
    });
    std::printf("RESULT md5-memory %.4f\n", computeSeconds);
}

void clientChecksumFigures(const std::wstring& scratch) {
    const std::wstring folder = scratch + L"client\\";
    CreateDirectoryW(folder.c_str(), nullptr);
    CreateDirectoryW((folder + L"module").c_str(), nullptr);
    CreateDirectoryW((folder + L"system").c_str(), nullptr);
    CreateDirectoryW((folder + L"system\\jar").c_str(), nullptr);
    for (int i = 0; i < 2000; ++i)
        writeFile(formatWide(L"%smodule\\component-%04d-%d.%d.jar", folder.c_str(), i, i % 7, i % 13),
                  std::string(100 + i % 500, 'x'));
    LogDriver silent(L"bench");
    std::wstring checksum;
    const double seconds = bestOf(5, [&] { checksum = OrnivelClient(folder, silent).clientChecksum(); });
    std::printf("clientChecksum: 2000 module files in %.1f ms (checksum %ls)\n", seconds * 1000, checksum.c_str());
}

void fileListFigures(const std::wstring& scratch) {
    std::string xml = "<FileList>\n";
    for (int i = 0; i < 20000; ++i) {
        xml += formatNarrow("  <File Path=\"module\\sub%03d\\component-%05d.jar\" TimestampGMT=\"%02d.%02d.2024 %02d:%02d:%02d\"",
                            i % 100, i, 1 + i % 28, 1 + i % 12, i % 24, i % 60, (i * 7) % 60);
        if (i % 2 == 0) xml += " checksum=\"0123456789abcdef0123456789abcdef\"";
        xml += formatNarrow(" Size=\"%d\"/>\n", 1000 + i);
    }
    xml += "</FileList>\n";
    const std::wstring path = scratch + L"TarnFileList.xml";
    writeFile(path, xml);
    size_t entries = 0;
    const double seconds = bestOf(5, [&] { entries = FileList::load(path).size(); });
    std::printf("FileList::load: %zu entries (%.1f MiB) in %.1f ms\n", entries, xml.size() / 1048576.0, seconds * 1000);
    const double parseSeconds = bestOf(5, [&] {
        TiXmlDocument document;
        document.Parse(xml.c_str(), nullptr, TIXML_ENCODING_UNKNOWN);
    });
    std::printf("  of which the XML parse alone: %.1f ms\n", parseSeconds * 1000);
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 3 && std::wstring(argv[1]) == L"md5") {
        md5Figures(argv[2]);
        return 0;
    }
    if (argc == 2 && std::wstring(argv[1]) == L"lists") {
        const std::wstring scratch = makeScratchFolder();
        clientChecksumFigures(scratch);
        fileListFigures(scratch);
        removeTree(scratch);
        return 0;
    }
    std::printf("usage: bench_updatedata md5 FILE | lists\n");
    return 2;
}
