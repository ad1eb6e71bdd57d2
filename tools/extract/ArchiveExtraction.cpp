#include "ArchiveExtraction.h"

#include <windows.h>

#include <memory>
#include <vector>

#include <archive.h>
#include <archive_entry.h>

#include "common/RelativePath.h"

namespace ornivel::extract {

namespace {

struct ArchiveCloser {
    void operator()(archive* a) const { archive_read_free(a); }
};

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

std::wstring widen(const char* text) {
    if (!text || !*text) return {};
    int n = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    std::wstring out(n > 0 ? n : 0, L'\0');
    if (n > 0) MultiByteToWideChar(CP_ACP, 0, text, -1, out.data(), n);
    if (!out.empty()) out.pop_back();
    return out;
}

std::wstring entryName(archive_entry* entry) {
    const wchar_t* wide = archive_entry_pathname_w(entry);
    if (wide) return wide;
    return widen(archive_entry_pathname(entry));
}

bool createFolders(const std::wstring& folder) {
    DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    auto cut = folder.find_last_of(L'\\', folder.size() >= 2 ? folder.size() - 2 : 0);
    if (cut != std::wstring::npos && cut > 0 && !createFolders(folder.substr(0, cut))) return false;
    return CreateDirectoryW(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

std::wstring parentOf(const std::wstring& path) {
    auto cut = path.find_last_of(L'\\');
    return cut == std::wstring::npos ? std::wstring() : path.substr(0, cut);
}

FILETIME fileTimeOf(time_t seconds, long nanoseconds) {
    ULONGLONG ticks = (static_cast<ULONGLONG>(seconds) + 11644473600ULL) * 10000000ULL + nanoseconds / 100;
    FILETIME time;
    time.dwLowDateTime = static_cast<DWORD>(ticks);
    time.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    return time;
}

// Writes the entry's data, read in order.
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

} // namespace

ExtractResult extractArchive(const std::wstring& archivePath, const std::wstring& targetFolder,
                             const std::function<void(const std::wstring&)>& report) {
    auto say = [&](const std::wstring& line) {
        if (report) report(line);
    };
    std::wstring target = targetFolder;
    if (target.empty() || (target.back() != L'\\' && target.back() != L'/')) target += L'\\';
    if (!createFolders(target.substr(0, target.size() - 1))) {
        say(L"Cannot create the target folder " + target);
        return EXTRACT_ARCHIVE_FAILED;
    }

    std::unique_ptr<archive, ArchiveCloser> a(archive_read_new());
    archive_read_support_format_rar(a.get());
    archive_read_support_format_rar5(a.get());
    if (archive_read_open_filename_w(a.get(), archivePath.c_str(), 64 * 1024) != ARCHIVE_OK) {
        say(L"Cannot open " + archivePath + L": " + widen(archive_error_string(a.get())));
        return EXTRACT_ARCHIVE_FAILED;
    }

    ExtractResult result = EXTRACT_OK;
    archive_entry* entry = nullptr;
    for (;;) {
        int status = archive_read_next_header(a.get(), &entry);
        if (status == ARCHIVE_EOF) break;
        if (status < ARCHIVE_WARN) {
            say(L"Cannot read " + archivePath + L": " + widen(archive_error_string(a.get())));
            return EXTRACT_ARCHIVE_FAILED;
        }
        std::wstring name = entryName(entry);
        const CheckedPath relative = checkRelativePath(name);
        if (!relative.ok()) {
            say(L"Refused entry " + name + L": its name " + pathFaultText(relative.fault) + L".");
            result = EXTRACT_ENTRY_FAILED;
            continue;
        }
        std::wstring path = target + relative.path;
        mode_t type = archive_entry_filetype(entry);
        if (type == AE_IFDIR) {
            if (!createFolders(path)) {
                say(L"Cannot create folder " + path);
                result = EXTRACT_ENTRY_FAILED;
            }
            continue;
        }
        if (type != AE_IFREG || archive_entry_hardlink(entry) || archive_entry_symlink(entry)) {
            say(L"Skipped entry that is no plain file: " + name);  // links are not made
            continue;
        }
        if (!createFolders(parentOf(path)) || !writeEntryData(a.get(), entry, path)) {
            say(L"Cannot extract " + name + L": " + widen(archive_error_string(a.get())));
            result = EXTRACT_ENTRY_FAILED;
        }
    }
    return result;
}

} // namespace ornivel::extract
