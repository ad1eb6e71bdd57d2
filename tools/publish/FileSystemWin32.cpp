// The Windows side of the publisher's file work: file handles, FindFirstFileEx, hard links
// and access lists. Paths are wide; names are given and taken as UTF-8.
#include "FilePrimitives.h"

#include <windows.h>
#include <sddl.h>

#include <memory>
#include <vector>

#include "common/Handles.h"
#include "common/Utf16.h"

namespace ornivel::publish {

namespace {

constexpr DWORD kLargestCall = 1 << 20;  // bytes read or written in one call at the most
constexpr long long kTicksPerSecond = 10000000;
constexpr long long kUnixEpochTicks = 116444736000000000LL;  // 1970-01-01 in 100-ns steps since 1601

HANDLE handleOf(platform::NativeFile file) { return reinterpret_cast<HANDLE>(file); }
platform::NativeFile fileOf(HANDLE handle) { return reinterpret_cast<platform::NativeFile>(handle); }

// The system's text for an error code, with its number.
std::string messageOf(DWORD code) {
    wchar_t* text = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message = text ? text : L"";
    if (text) LocalFree(text);
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L' '))
        message.pop_back();
    return utf8OfUtf16(message) + " (" + std::to_string(code) + ")";
}

FileStamp stampOf(const FILETIME& time, DWORD sizeHigh, DWORD sizeLow) {
    const long long ticks =
        static_cast<long long>((static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime) -
        kUnixEpochTicks;
    long long seconds = ticks / kTicksPerSecond;
    long long rest = ticks % kTicksPerSecond;
    if (rest < 0) {
        rest += kTicksPerSecond;
        --seconds;
    }
    FileStamp stamp;
    stamp.size = (static_cast<uint64_t>(sizeHigh) << 32) | sizeLow;
    stamp.seconds = seconds;
    stamp.nanoseconds = static_cast<uint32_t>(rest * 100);
    return stamp;
}

FILETIME fileTimeOf(const FileStamp& stamp) {
    const unsigned long long ticks =
        static_cast<unsigned long long>(stamp.seconds * kTicksPerSecond + stamp.nanoseconds / 100 + kUnixEpochTicks);
    return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

struct LocalMemoryFree {
    void operator()(void* memory) const { LocalFree(memory); }
};
using LocalMemory = std::unique_ptr<void, LocalMemoryFree>;

// A protected access list (nothing inherited from the folder) granting the user of this
// process alone full access.
LocalMemory ownerOnlyDescriptor() {
    UniqueHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.receive())) return nullptr;
    DWORD size = 0;
    GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    std::vector<unsigned char> user(size ? size : 1);
    wchar_t* sidText = nullptr;
    if (!GetTokenInformation(token.get(), TokenUser, user.data(), size, &size) ||
        !ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid, &sidText))
        return nullptr;
    const LocalMemory sidOwner(sidText);
    const std::wstring sddl = std::wstring(L"D:P(A;;FA;;;") + sidText + L")";
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr))
        return nullptr;
    return LocalMemory(descriptor);
}

} // namespace

Path pathOfText(const std::string& text) { return std::filesystem::u8path(text); }

std::string textOfPath(const Path& path) { return path.generic_u8string(); }

Path joined(const Path& root, const std::string& relative) {
    return (root / std::filesystem::u8path(relative)).make_preferred();
}

bool isFolder(const Path& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool stampOf(const Path& path, FileStamp& stamp) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    stamp = stampOf(data.ftLastWriteTime, data.nFileSizeHigh, data.nFileSizeLow);
    return true;
}

bool sameFile(const Path& a, const Path& b) {
    BY_HANDLE_FILE_INFORMATION x, y;
    UniqueHandle first(CreateFileW(a.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, 0, nullptr));
    UniqueHandle second(CreateFileW(b.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, 0, nullptr));
    return first && second && GetFileInformationByHandle(first.get(), &x) && GetFileInformationByHandle(second.get(), &y) &&
           x.dwVolumeSerialNumber == y.dwVolumeSerialNumber && x.nFileIndexHigh == y.nFileIndexHigh &&
           x.nFileIndexLow == y.nFileIndexLow;
}

void removeEmptyFolder(const Path& path) { RemoveDirectoryW(path.c_str()); }

namespace platform {

bool closeFile(NativeFile file) { return CloseHandle(handleOf(file)) != 0; }

std::string systemError(const std::string& what, const Path& path) {
    const DWORD code = GetLastError();
    return what + " " + utf8OfUtf16(path.wstring()) + ": " + messageOf(code);
}

OpenFile openForReading(const Path& path) {
    return OpenFile(fileOf(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                       OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr)));
}

OpenFile createFile(const Path& path, Creation how, const char* what, std::string& error) {
    LocalMemory descriptor;
    if (how == Creation::NewOwnerOnly && !(descriptor = ownerOnlyDescriptor())) {
        error = systemError("cannot make an access list for", path);
        return OpenFile();
    }
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor.get(), FALSE};
    OpenFile file(fileOf(CreateFileW(path.c_str(), GENERIC_WRITE, 0, descriptor ? &attributes : nullptr,
                                     how == Creation::Replace ? CREATE_ALWAYS : CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                     nullptr)));
    if (!file) error = systemError(what, path);
    return file;
}

int64_t readSome(NativeFile file, unsigned char* block, size_t length) {
    DWORD read = 0;
    if (!ReadFile(handleOf(file), block, length > kLargestCall ? kLargestCall : static_cast<DWORD>(length), &read,
                  nullptr))
        return -1;
    return read;
}

int64_t writeSome(NativeFile file, const unsigned char* bytes, size_t length) {
    DWORD written = 0;
    if (!WriteFile(handleOf(file), bytes, length > kLargestCall ? kLargestCall : static_cast<DWORD>(length), &written,
                   nullptr))
        return -1;
    return written;
}

bool flushFile(NativeFile file) { return FlushFileBuffers(handleOf(file)) != 0; }

bool setWriteTime(NativeFile file, const FileStamp& stamp) {
    const FILETIME time = fileTimeOf(stamp);
    return SetFileTime(handleOf(file), nullptr, nullptr, &time) != 0;
}

bool readFolder(const Path& folder, bool, const std::function<void(const FolderEntry&)>& each, std::string& reason) {
    WIN32_FIND_DATAW data;
    UniqueFindHandle find(FindFirstFileExW((folder.wstring() + L"\\*").c_str(), FindExInfoBasic, &data,
                                           FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH));
    if (!find) {
        reason = messageOf(GetLastError());
        return false;
    }
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        std::string utf8Name;
        const bool unicode = strictUtf8OfUtf16(name, utf8Name);
        FolderEntry entry;
        entry.name = utf8Name;
        if (!unicode) {
            entry.reason = "a name that is not valid Unicode";
        } else if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            entry.reason = "a link or another reparse point";
        } else if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            entry.kind = EntryKind::Folder;
        } else {
            entry.kind = EntryKind::File;
            entry.stamp = stampOf(data.ftLastWriteTime, data.nFileSizeHigh, data.nFileSizeLow);
        }
        each(entry);
    } while (FindNextFileW(find.get(), &data));
    return true;
}

LinkResult linkFile(const Path& existing, const Path& link) {
    if (CreateHardLinkW(link.c_str(), existing.c_str(), nullptr)) return LinkResult::Linked;
    const DWORD code = GetLastError();
    if (code == ERROR_ALREADY_EXISTS || code == ERROR_FILE_EXISTS) return LinkResult::Exists;
    if (code == ERROR_NOT_SAME_DEVICE || code == ERROR_INVALID_FUNCTION || code == ERROR_NOT_SUPPORTED ||
        code == ERROR_TOO_MANY_LINKS || code == ERROR_ACCESS_DENIED)
        return LinkResult::Unsupported;
    return LinkResult::Failed;
}

bool moveReplacing(const Path& from, const Path& to) {
    return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool deleteFile(const Path& path) {
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    return DeleteFileW(path.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND || GetLastError() == ERROR_PATH_NOT_FOUND;
}

LockResult lockFile(const Path& path, NativeFile& file) {
    OpenFile lock(fileOf(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL, nullptr)));
    if (!lock) return GetLastError() == ERROR_SHARING_VIOLATION ? LockResult::Busy : LockResult::Failed;
    file = lock.release();
    return LockResult::Held;
}

} // namespace platform

} // namespace ornivel::publish
