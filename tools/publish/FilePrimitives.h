#pragma once
// The platform's side of the publisher's file work: thin calls on open files, folders, links
// and the lock, one implementation per platform (FileSystemPosix.cpp, FileSystemWin32.cpp).
// FileSystem.cpp builds everything else on them; nothing outside the FileSystem*.cpp files
// includes this header.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>

#include "FileSystem.h"

namespace ornivel::publish::platform {

// A file descriptor (POSIX) or a file HANDLE (Windows); kNoFile for none.
using NativeFile = intptr_t;
constexpr NativeFile kNoFile = -1;

// Closes a file; false when the system reports a failure (written bytes may be lost).
bool closeFile(NativeFile file);

// An open file, closed when its owner ends.
class OpenFile {
public:
    OpenFile() = default;
    explicit OpenFile(NativeFile file) : file_(file) {}
    ~OpenFile() { close(); }
    OpenFile(OpenFile&& other) noexcept : file_(std::exchange(other.file_, kNoFile)) {}
    OpenFile& operator=(OpenFile&& other) noexcept {
        if (this != &other) {
            close();
            file_ = std::exchange(other.file_, kNoFile);
        }
        return *this;
    }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;

    NativeFile get() const { return file_; }
    explicit operator bool() const { return file_ != kNoFile; }
    // Hands the file over; the owner holds none afterwards.
    NativeFile release() { return std::exchange(file_, kNoFile); }
    // Closes now; false when the system reports a failure.
    bool close() { return file_ == kNoFile || closeFile(std::exchange(file_, kNoFile)); }

private:
    NativeFile file_ = kNoFile;
};

// "<what> <path>: <the system's message>" for the last call of this thread that failed.
std::string systemError(const std::string& what, const Path& path);

// For reading from the start, with others allowed to read it too.
OpenFile openForReading(const Path& path);

enum class Creation {
    Replace,       // a new file, or the existing one emptied
    New,           // fails when something is there already
    NewOwnerOnly,  // as New, readable and writable by the user who runs the program alone
};
// A file opened for writing; on failure `error` is systemError(what, path), or says why the
// owner-only access could not be prepared.
OpenFile createFile(const Path& path, Creation how, const char* what, std::string& error);

// Reads up to `length` bytes: how many were read, 0 at the end, -1 on failure.
int64_t readSome(NativeFile file, unsigned char* block, size_t length);
// Writes some of `length` (> 0) bytes: how many were written, 0 or less on failure.
int64_t writeSome(NativeFile file, const unsigned char* bytes, size_t length);
// Makes what was written reach the disk.
bool flushFile(NativeFile file);
// Gives the file the last-write time of `stamp`.
bool setWriteTime(NativeFile file, const FileStamp& stamp);

enum class EntryKind { Folder, File, Problem };
struct FolderEntry {
    std::string_view name;  // UTF-8 on Windows, the bytes of the name on Linux
    EntryKind kind = EntryKind::Problem;
    FileStamp stamp;          // of a File when stamps were asked for (a link to a file: the file's)
    std::string_view reason;  // why a Problem cannot be published
};
// Gives `each` every entry of a folder but "." and ".."; a link to a file is a File, links to
// folders and special files are Problems. `stamps`: whether Files need their size and time
// (without, they may be left out where that saves work). False, with the system's `reason`,
// when the folder cannot be read.
bool readFolder(const Path& folder, bool stamps, const std::function<void(const FolderEntry&)>& each,
                std::string& reason);

// A new hard link; Failed leaves the system's error for systemError.
LinkResult linkFile(const Path& existing, const Path& link);
// Renames `from` to `to` in one step, replacing what is at `to`.
bool moveReplacing(const Path& from, const Path& to);
// True when the file is gone: removed now, or not there (nor the folder it was in).
bool deleteFile(const Path& path);

enum class LockResult { Held, Busy, Failed };
// Opens (creating) the lock file and takes it for this process alone; Held gives the open
// file in `file`, Busy means another holds it, Failed leaves the system's error.
LockResult lockFile(const Path& path, NativeFile& file);

} // namespace ornivel::publish::platform
