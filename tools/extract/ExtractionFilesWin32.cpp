#include "ExtractionFiles.h"

#include <windows.h>

#include <vector>

#include <archive.h>
#include <archive_entry.h>

namespace ornivel::extract {

namespace {

class FileHandle {
public:
    explicit FileHandle(HANDLE h) : h_(h) {}
    ~FileHandle() {
        if (valid()) CloseHandle(h_);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    bool valid() const { return h_ != INVALID_HANDLE_VALUE && h_ != nullptr; }
    HANDLE get() const { return h_; }

private:
    HANDLE h_;
};

FILETIME fileTimeOf(time_t seconds, long nanoseconds) {
    ULONGLONG ticks = (static_cast<ULONGLONG>(seconds) + 11644473600ULL) * 10000000ULL + nanoseconds / 100;
    FILETIME time;
    time.dwLowDateTime = static_cast<DWORD>(ticks);
    time.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    return time;
}

} // namespace

std::wstring widenSystemText(const char* text) {
    if (!text || !*text) return {};
    int n = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    std::wstring out(n > 0 ? n : 0, L'\0');
    if (n > 0) MultiByteToWideChar(CP_ACP, 0, text, -1, out.data(), n);
    if (!out.empty()) out.pop_back();
    return out;
}

bool createFolders(const std::wstring& folder) {
    DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    auto cut = folder.find_last_of(L'\\', folder.size() >= 2 ? folder.size() - 2 : 0);
    if (cut != std::wstring::npos && cut > 0 && !createFolders(folder.substr(0, cut))) return false;
    return CreateDirectoryW(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

bool writeEntryData(archive* a, archive_entry* entry, const std::wstring& path) {
    // A read-only file of an earlier extraction would refuse to be replaced.
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    FileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                nullptr));
    if (!file.valid()) return false;
    std::vector<char> buffer(256 * 1024);
    for (;;) {
        la_ssize_t got = archive_read_data(a, buffer.data(), buffer.size());
        if (got == 0) break;
        if (got < 0) return false;
        DWORD written = 0;
        if (!WriteFile(file.get(), buffer.data(), static_cast<DWORD>(got), &written, nullptr) ||
            written != static_cast<DWORD>(got))
            return false;
    }
    SetEndOfFile(file.get());
    if (archive_entry_mtime_is_set(entry)) {
        FILETIME written = fileTimeOf(archive_entry_mtime(entry), archive_entry_mtime_nsec(entry));
        SetFileTime(file.get(), nullptr, nullptr, &written);
    }
    return true;
}

} // namespace ornivel::extract
