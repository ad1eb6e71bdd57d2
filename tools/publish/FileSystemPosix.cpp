#include "FileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

#include "filelist/Md5.h"

namespace ornivel::publish {

namespace {

constexpr size_t kBlockSize = 1 << 20;

std::string systemError(const std::string& what, const Path& path) {
    return what + " " + path.string() + ": " + std::strerror(errno);
}

FileStamp stampOfStat(const struct stat& info) {
    FileStamp stamp;
    stamp.size = static_cast<uint64_t>(info.st_size);
    stamp.seconds = info.st_mtim.tv_sec;
    stamp.nanoseconds = static_cast<uint32_t>(info.st_mtim.tv_nsec);
    return stamp;
}

// An open descriptor, closed when the owner ends.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    // Closes now, reporting the result.
    bool close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

private:
    int fd_;
};

struct DirectoryCloser {
    void operator()(DIR* directory) const { ::closedir(directory); }
};

// Calls the visitor for every entry below `root` + `relative`. Files are looked at closer only
// when the visitor needs their size and time (Visit::kStamps) or the folder does not tell
// what an entry is.
template <typename Visit>
bool walk(const Path& root, const std::string& relative, Visit& visit) {
    const Path folder = relative.empty() ? root : root / relative;
    std::unique_ptr<DIR, DirectoryCloser> directory(::opendir(folder.c_str()));
    if (!directory) return visit.unreadable(relative);
    while (dirent* entry = ::readdir(directory.get())) {
        const char* name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
        const std::string path = relative.empty() ? std::string(name) : relative + "/" + name;
        if (entry->d_type == DT_DIR) {
            walk(root, path, visit);
            visit.folder(path);
            continue;
        }
        struct stat info{};
        if (entry->d_type == DT_REG && !Visit::kStamps) {
            visit.file(path, info);
            continue;
        }
        if (::fstatat(::dirfd(directory.get()), name, &info, AT_SYMLINK_NOFOLLOW) != 0) {
            visit.problem(path, std::strerror(errno));
            continue;
        }
        if (S_ISDIR(info.st_mode)) {
            walk(root, path, visit);
            visit.folder(path);
            continue;
        }
        if (S_ISLNK(info.st_mode)) {
            struct stat target;
            if (::fstatat(::dirfd(directory.get()), name, &target, 0) != 0) {
                visit.problem(path, "a symbolic link to nothing");
                continue;
            }
            if (!S_ISREG(target.st_mode)) {
                visit.problem(path, "a symbolic link to a folder or a special file");
                continue;
            }
            info = target;
        }
        if (!S_ISREG(info.st_mode)) {
            visit.problem(path, "neither a file nor a folder");
            continue;
        }
        visit.file(path, info);
    }
    return true;
}

struct ScanVisit {
    static constexpr bool kStamps = true;
    FolderScan& scan;
    bool unreadable(const std::string& relative) {
        scan.problems.push_back((relative.empty() ? std::string(".") : relative) + ": cannot be read (" +
                                std::strerror(errno) + ")");
        return false;
    }
    void problem(const std::string& path, const std::string& reason) { scan.problems.push_back(path + ": " + reason); }
    void folder(const std::string&) {}
    void file(const std::string& path, const struct stat& info) { scan.files.push_back({path, stampOfStat(info)}); }
};

struct ListVisit {
    static constexpr bool kStamps = false;
    std::vector<std::string>& files;
    std::vector<std::string>& folders;
    bool unreadable(const std::string&) { return false; }
    void problem(const std::string& path, const std::string&) { files.push_back(path); }
    void folder(const std::string& path) { folders.push_back(path); }
    void file(const std::string& path, const struct stat&) { files.push_back(path); }
};

// Reads a descriptor to its end in large blocks, feeding each block to `use`.
template <typename Use>
bool readAll(int fd, std::atomic<uint64_t>& bytesDone, Use use) {
    // One block per thread, kept for the files to come.
    thread_local std::unique_ptr<unsigned char[]> block(new unsigned char[kBlockSize]);
    for (;;) {
        const ssize_t n = ::read(fd, block.get(), kBlockSize);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) return true;
        if (!use(block.get(), static_cast<size_t>(n))) return false;
        bytesDone += static_cast<uint64_t>(n);
    }
}

bool writeAll(int fd, const unsigned char* bytes, size_t length) {
    while (length > 0) {
        const ssize_t n = ::write(fd, bytes, length);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes += n;
        length -= static_cast<size_t>(n);
    }
    return true;
}

} // namespace

Path pathOfText(const std::string& text) { return Path(text); }

std::string textOfPath(const Path& path) { return path.string(); }

Path joined(const Path& root, const std::string& relative) { return root / relative; }

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

LinkResult hardLink(const Path& existing, const Path& link, std::string& error) {
    if (::linkat(AT_FDCWD, existing.c_str(), AT_FDCWD, link.c_str(), AT_SYMLINK_FOLLOW) == 0) return LinkResult::Linked;
    if (errno == EEXIST) return LinkResult::Exists;
    if (errno == EXDEV || errno == EPERM || errno == EMLINK || errno == ENOTSUP || errno == EOPNOTSUPP)
        return LinkResult::Unsupported;
    error = systemError("cannot link", existing);
    return LinkResult::Failed;
}

bool hashFile(const Path& path, std::string& md5, std::atomic<uint64_t>& bytesDone, std::string& error) {
    Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!file.valid()) {
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
    Descriptor in(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
    if (!in.valid()) {
        error = systemError("cannot open", source);
        return false;
    }
    Descriptor out(::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
    if (!out.valid()) {
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
    const struct timespec times[2] = {{0, UTIME_NOW},
                                      {static_cast<time_t>(stamp.seconds), static_cast<long>(stamp.nanoseconds)}};
    if (::futimens(out.get(), times) != 0 || !out.close()) {
        error = systemError("cannot finish", target);
        return false;
    }
    digest.finalize();
    md5 = digest.hex_digest();
    return true;
}

bool writeWholeFile(const Path& path, const std::string& bytes, std::string& error) {
    Descriptor out(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (!out.valid() || !writeAll(out.get(), reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()) ||
        ::fsync(out.get()) != 0 || !out.close()) {
        error = systemError("cannot write", path);
        return false;
    }
    return true;
}

bool writeNewFile(const Path& path, const std::string& bytes, bool ownerOnly, std::string& error) {
    Descriptor out(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, ownerOnly ? 0600 : 0644));
    if (!out.valid()) {
        error = systemError("cannot make", path);
        return false;
    }
    if (!writeAll(out.get(), reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()) ||
        ::fsync(out.get()) != 0 || !out.close()) {
        error = systemError("cannot write", path);
        ::unlink(path.c_str());
        return false;
    }
    return true;
}

bool readWholeFile(const Path& path, std::string& bytes) {
    Descriptor in(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!in.valid()) return false;
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
    if (::rename(from.c_str(), to.c_str()) == 0) return true;
    error = systemError("cannot put in place", to);
    return false;
}

bool makeFolders(const Path& path, std::string& error) {
    std::error_code code;
    std::filesystem::create_directories(path, code);
    if (code && !isFolder(path)) {
        error = "cannot make the folder " + path.string() + ": " + code.message();
        return false;
    }
    return true;
}

bool removeFile(const Path& path, std::string& error) {
    if (::unlink(path.c_str()) == 0 || errno == ENOENT || errno == ENOTDIR) return true;
    error = systemError("cannot remove", path);
    return false;
}

bool removeTree(const Path& path, std::string& error) {
    std::error_code code;
    std::filesystem::remove_all(path, code);
    if (code) {
        error = "cannot remove " + path.string() + ": " + code.message();
        return false;
    }
    return true;
}

void removeEmptyFolder(const Path& path) { ::rmdir(path.c_str()); }

PublishLock::~PublishLock() {
    if (handle_ >= 0) ::close(static_cast<int>(handle_));
}

bool PublishLock::acquire(const Path& path, std::string& error) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = systemError("cannot open", path);
        return false;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        error = "another ornivel-publish is working on this deployment (" + path.string() + ")";
        return false;
    }
    handle_ = fd;
    return true;
}

} // namespace ornivel::publish
