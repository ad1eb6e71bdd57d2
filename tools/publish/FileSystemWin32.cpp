#include "FileSystem.h"

#include <windows.h>
#include <sddl.h>

#include <memory>
#include <vector>

#include "common/Handles.h"
#include "filelist/Md5.h"
#include "filelist/Utf16Text.h"

namespace ornivel::publish {

namespace {

constexpr DWORD kBlockSize = 1 << 20;
constexpr long long kTicksPerSecond = 10000000;
constexpr long long kUnixEpochTicks = 116444736000000000LL;  // 1970-01-01 in 100-ns steps since 1601

std::string utf8Of(const std::wstring& text) { return utf8OfUtf16(text); }

std::string systemError(const std::string& what, const Path& path) {
    const DWORD code = GetLastError();
    wchar_t* text = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message = text ? text : L"";
    if (text) LocalFree(text);
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L' '))
        message.pop_back();
    return what + " " + utf8Of(path.wstring()) + ": " + utf8Of(message) + " (" + std::to_string(code) + ")";
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

// Calls visit for every entry below `root` + `relative`.
template <typename Visit>
void walk(const Path& root, const std::string& relative, Visit& visit) {
    const Path folder = relative.empty() ? root : joined(root, relative);
    WIN32_FIND_DATAW data;
    UniqueFindHandle find(FindFirstFileExW((folder.wstring() + L"\\*").c_str(), FindExInfoBasic, &data,
                                           FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH));
    if (!find) {
        visit.unreadable(relative, systemError("cannot read", folder));
        return;
    }
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        std::string utf8Name;
        const bool unicode = strictUtf8OfUtf16(name, utf8Name);
        const std::string path = relative.empty() ? utf8Name : relative + "/" + utf8Name;
        if (!unicode) {
            visit.problem(path, "a name that is not valid Unicode");
        } else if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            visit.problem(path, "a link or another reparse point");
        } else if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            walk(root, path, visit);
            visit.folder(path);
        } else {
            visit.file(path, stampOf(data.ftLastWriteTime, data.nFileSizeHigh, data.nFileSizeLow));
        }
    } while (FindNextFileW(find.get(), &data));
}

struct ScanVisit {
    FolderScan& scan;
    void unreadable(const std::string&, const std::string& reason) { scan.problems.push_back(reason); }
    void problem(const std::string& path, const std::string& reason) { scan.problems.push_back(path + ": " + reason); }
    void folder(const std::string&) {}
    void file(const std::string& path, const FileStamp& stamp) { scan.files.push_back({path, stamp}); }
};

struct ListVisit {
    std::vector<std::string>& files;
    std::vector<std::string>& folders;
    void unreadable(const std::string&, const std::string&) {}
    void problem(const std::string& path, const std::string&) { files.push_back(path); }
    void folder(const std::string& path) { folders.push_back(path); }
    void file(const std::string& path, const FileStamp&) { files.push_back(path); }
};

UniqueHandle openForReading(const Path& path) {
    return UniqueHandle(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
}

// Reads a file to its end in large blocks, feeding each block to `use`.
template <typename Use>
bool readAll(HANDLE file, std::atomic<uint64_t>& bytesDone, Use use) {
    // One block per thread, kept for the files to come.
    thread_local std::unique_ptr<unsigned char[]> block(new unsigned char[kBlockSize]);
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(file, block.get(), kBlockSize, &read, nullptr)) return false;
        if (read == 0) return true;
        if (!use(block.get(), static_cast<size_t>(read))) return false;
        bytesDone += read;
    }
}

bool writeAll(HANDLE file, const unsigned char* bytes, size_t length) {
    while (length > 0) {
        const DWORD chunk = length > kBlockSize ? kBlockSize : static_cast<DWORD>(length);
        DWORD written = 0;
        if (!WriteFile(file, bytes, chunk, &written, nullptr) || written == 0) return false;
        bytes += written;
        length -= written;
    }
    return true;
}

} // namespace

Path pathOfText(const std::string& text) { return std::filesystem::u8path(text); }

std::string textOfPath(const Path& path) { return path.generic_u8string(); }

Path joined(const Path& root, const std::string& relative) {
    return (root / std::filesystem::u8path(relative)).make_preferred();
}

Path absolutePath(const Path& path) {
    std::error_code error;
    const Path absolute = std::filesystem::absolute(path, error);
    return (error ? path : absolute).lexically_normal();
}

FolderScan scanFolder(const Path& root) {
    FolderScan scan;
    ScanVisit visit{scan};
    walk(root, "", visit);
    return scan;
}

void listBelow(const Path& root, std::vector<std::string>& files, std::vector<std::string>& folders) {
    ListVisit visit{files, folders};
    walk(root, "", visit);
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

LinkResult hardLink(const Path& existing, const Path& link, std::string& error) {
    if (CreateHardLinkW(link.c_str(), existing.c_str(), nullptr)) return LinkResult::Linked;
    const DWORD code = GetLastError();
    if (code == ERROR_ALREADY_EXISTS || code == ERROR_FILE_EXISTS) return LinkResult::Exists;
    if (code == ERROR_NOT_SAME_DEVICE || code == ERROR_INVALID_FUNCTION || code == ERROR_NOT_SUPPORTED ||
        code == ERROR_TOO_MANY_LINKS || code == ERROR_ACCESS_DENIED)
        return LinkResult::Unsupported;
    error = systemError("cannot link", existing);
    return LinkResult::Failed;
}

bool hashFile(const Path& path, std::string& md5, std::atomic<uint64_t>& bytesDone, std::string& error) {
    UniqueHandle file = openForReading(path);
    if (!file) {
        error = systemError("cannot open", path);
        return false;
    }
    MD5 digest;
    if (!readAll(file.get(), bytesDone, [&](const unsigned char* bytes, size_t n) {
            digest.update(bytes, n);
            return true;
        })) {
        error = systemError("cannot read", path);
        return false;
    }
    digest.finalize();
    md5 = digest.hex_digest();
    return true;
}

bool copyAndHash(const Path& source, const Path& target, const FileStamp& stamp, std::string& md5,
                 std::atomic<uint64_t>& bytesDone, std::string& error) {
    UniqueHandle in = openForReading(source);
    if (!in) {
        error = systemError("cannot open", source);
        return false;
    }
    UniqueHandle out(CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out) {
        error = systemError("cannot create", target);
        return false;
    }
    MD5 digest;
    bool written = true;
    if (!readAll(in.get(), bytesDone, [&](const unsigned char* bytes, size_t n) {
            digest.update(bytes, n);
            return written = writeAll(out.get(), bytes, n);
        })) {
        error = systemError(written ? "cannot read" : "cannot write", written ? source : target);
        return false;
    }
    const FILETIME time = fileTimeOf(stamp);
    if (!SetFileTime(out.get(), nullptr, nullptr, &time)) {
        error = systemError("cannot set the time of", target);
        return false;
    }
    digest.finalize();
    md5 = digest.hex_digest();
    return true;
}

bool writeWholeFile(const Path& path, const std::string& bytes, std::string& error) {
    UniqueHandle out(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out || !writeAll(out.get(), reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()) ||
        !FlushFileBuffers(out.get())) {
        error = systemError("cannot write", path);
        return false;
    }
    return true;
}

namespace {

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

bool writeNewFile(const Path& path, const std::string& bytes, bool ownerOnly, std::string& error) {
    LocalMemory descriptor;
    if (ownerOnly && !(descriptor = ownerOnlyDescriptor())) {
        error = systemError("cannot make an access list for", path);
        return false;
    }
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor.get(), FALSE};
    UniqueHandle out(CreateFileW(path.c_str(), GENERIC_WRITE, 0, ownerOnly ? &attributes : nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out) {
        error = systemError("cannot make", path);
        return false;
    }
    if (!writeAll(out.get(), reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()) ||
        !FlushFileBuffers(out.get())) {
        error = systemError("cannot write", path);
        out.reset();
        DeleteFileW(path.c_str());
        return false;
    }
    return true;
}

bool readWholeFile(const Path& path, std::string& bytes) {
    UniqueHandle in = openForReading(path);
    if (!in) return false;
    std::string text;
    std::atomic<uint64_t> ignored{0};
    if (!readAll(in.get(), ignored, [&](const unsigned char* block, size_t n) {
            text.append(reinterpret_cast<const char*>(block), n);
            return true;
        }))
        return false;
    bytes = std::move(text);
    return true;
}

bool replaceFile(const Path& from, const Path& to, std::string& error) {
    if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
    error = systemError("cannot put in place", to);
    return false;
}

bool makeFolders(const Path& path, std::string& error) {
    std::error_code code;
    std::filesystem::create_directories(path, code);
    if (code && !isFolder(path)) {
        error = "cannot make the folder " + textOfPath(path) + ": " + code.message();
        return false;
    }
    return true;
}

bool removeFile(const Path& path, std::string& error) {
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (DeleteFileW(path.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND || GetLastError() == ERROR_PATH_NOT_FOUND)
        return true;
    error = systemError("cannot remove", path);
    return false;
}

bool removeTree(const Path& path, std::string& error) {
    std::error_code code;
    std::filesystem::remove_all(path, code);
    if (code) {
        error = "cannot remove " + textOfPath(path) + ": " + code.message();
        return false;
    }
    return true;
}

void removeEmptyFolder(const Path& path) { RemoveDirectoryW(path.c_str()); }

PublishLock::~PublishLock() {
    if (handle_ != -1) CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

bool PublishLock::acquire(const Path& path, std::string& error) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = GetLastError() == ERROR_SHARING_VIOLATION
                    ? "another ornivel-publish is working on this deployment (" + textOfPath(path) + ")"
                    : systemError("cannot open", path);
        return false;
    }
    handle_ = reinterpret_cast<intptr_t>(file);
    return true;
}

} // namespace ornivel::publish
