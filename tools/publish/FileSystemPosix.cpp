// The POSIX side of the publisher's file work: descriptors, directory streams, stat and
// flock. Names are the bytes the file system holds.
#include "FilePrimitives.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

namespace ornivel::publish {

namespace {

FileStamp stampOfStat(const struct stat& info) {
    FileStamp stamp;
    stamp.size = static_cast<uint64_t>(info.st_size);
    stamp.seconds = info.st_mtim.tv_sec;
    stamp.nanoseconds = static_cast<uint32_t>(info.st_mtim.tv_nsec);
    return stamp;
}

int descriptor(platform::NativeFile file) { return static_cast<int>(file); }

struct DirectoryCloser {
    void operator()(DIR* directory) const { ::closedir(directory); }
};

// Sets the kind of the entry `name` of `directory` (its stream `type`), looking closer only
// when files need their size and time (`stamps`) or the stream does not tell what it is.
void classify(DIR* directory, const char* name, bool stamps, unsigned char type, platform::FolderEntry& entry) {
    using platform::EntryKind;
    if (type == DT_DIR) {
        entry.kind = EntryKind::Folder;
        return;
    }
    if (type == DT_REG && !stamps) {
        entry.kind = EntryKind::File;
        return;
    }
    struct stat info{};
    entry.kind = EntryKind::Problem;
    if (::fstatat(::dirfd(directory), name, &info, AT_SYMLINK_NOFOLLOW) != 0) {
        entry.reason = std::strerror(errno);
        return;
    }
    if (S_ISDIR(info.st_mode)) {
        entry.kind = EntryKind::Folder;
        return;
    }
    if (S_ISLNK(info.st_mode)) {
        struct stat target;
        if (::fstatat(::dirfd(directory), name, &target, 0) != 0) {
            entry.reason = "a symbolic link to nothing";
            return;
        }
        if (!S_ISREG(target.st_mode)) {
            entry.reason = "a symbolic link to a folder or a special file";
            return;
        }
        info = target;
    }
    if (!S_ISREG(info.st_mode)) {
        entry.reason = "neither a file nor a folder";
        return;
    }
    entry.kind = EntryKind::File;
    entry.stamp = stampOfStat(info);
}

} // namespace

Path pathOfText(const std::string& text) { return Path(text); }

std::string textOfPath(const Path& path) { return path.string(); }

Path joined(const Path& root, const std::string& relative) { return root / relative; }

bool isFolder(const Path& path) {
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool stampOf(const Path& path, FileStamp& stamp) {
    struct stat info;
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
    stamp = stampOfStat(info);
    return true;
}

bool sameFile(const Path& a, const Path& b) {
    struct stat x, y;
    return ::stat(a.c_str(), &x) == 0 && ::stat(b.c_str(), &y) == 0 && x.st_dev == y.st_dev && x.st_ino == y.st_ino;
}

void removeEmptyFolder(const Path& path) { ::rmdir(path.c_str()); }

namespace platform {

bool closeFile(NativeFile file) { return ::close(descriptor(file)) == 0; }

std::string systemError(const std::string& what, const Path& path) {
    return what + " " + path.string() + ": " + std::strerror(errno);
}

OpenFile openForReading(const Path& path) { return OpenFile(::open(path.c_str(), O_RDONLY | O_CLOEXEC)); }

OpenFile createFile(const Path& path, Creation how, const char* what, std::string& error) {
    const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (how == Creation::Replace ? O_TRUNC : O_EXCL);
    OpenFile file(::open(path.c_str(), flags, how == Creation::NewOwnerOnly ? 0600 : 0644));
    if (!file) error = systemError(what, path);
    return file;
}

int64_t readSome(NativeFile file, unsigned char* block, size_t length) {
    for (;;) {
        const ssize_t n = ::read(descriptor(file), block, length);
        if (n >= 0 || errno != EINTR) return n;
    }
}

int64_t writeSome(NativeFile file, const unsigned char* bytes, size_t length) {
    for (;;) {
        const ssize_t n = ::write(descriptor(file), bytes, length);
        if (n >= 0 || errno != EINTR) return n;
    }
}

bool flushFile(NativeFile file) { return ::fsync(descriptor(file)) == 0; }

bool setWriteTime(NativeFile file, const FileStamp& stamp) {
    const struct timespec times[2] = {{0, UTIME_NOW},
                                      {static_cast<time_t>(stamp.seconds), static_cast<long>(stamp.nanoseconds)}};
    return ::futimens(descriptor(file), times) == 0;
}

bool readFolder(const Path& folder, bool stamps, const std::function<void(const FolderEntry&)>& each,
                std::string& reason) {
    std::unique_ptr<DIR, DirectoryCloser> directory(::opendir(folder.c_str()));
    if (!directory) {
        reason = std::strerror(errno);
        return false;
    }
    while (const dirent* found = ::readdir(directory.get())) {
        const char* name = found->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
        FolderEntry entry;
        entry.name = name;
        classify(directory.get(), name, stamps, found->d_type, entry);
        each(entry);
    }
    return true;
}

LinkResult linkFile(const Path& existing, const Path& link) {
    if (::linkat(AT_FDCWD, existing.c_str(), AT_FDCWD, link.c_str(), AT_SYMLINK_FOLLOW) == 0) return LinkResult::Linked;
    if (errno == EEXIST) return LinkResult::Exists;
    if (errno == EXDEV || errno == EPERM || errno == EMLINK || errno == ENOTSUP || errno == EOPNOTSUPP)
        return LinkResult::Unsupported;
    return LinkResult::Failed;
}

bool moveReplacing(const Path& from, const Path& to) { return ::rename(from.c_str(), to.c_str()) == 0; }

bool deleteFile(const Path& path) { return ::unlink(path.c_str()) == 0 || errno == ENOENT || errno == ENOTDIR; }

LockResult lockFile(const Path& path, NativeFile& file) {
    OpenFile lock(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644));
    if (!lock) return LockResult::Failed;
    if (::flock(descriptor(lock.get()), LOCK_EX | LOCK_NB) != 0) return LockResult::Busy;
    file = lock.release();
    return LockResult::Held;
}

} // namespace platform

} // namespace ornivel::publish
