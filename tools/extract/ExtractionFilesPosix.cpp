// The extraction's file system side on POSIX systems, for running the extraction natively:
// paths as the platform layer names them (common/PosixPath.h: "\" becomes "/", UTF-8).
#include "ExtractionFiles.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include <archive.h>
#include <archive_entry.h>

#include "common/PosixPath.h"
#include "common/Text.h"

namespace ornivel::extract {

namespace {

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

bool writeAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t written = write(fd, data, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        data += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

} // namespace

std::wstring widenSystemText(const char* text) { return text ? fromAnsi(text) : std::wstring(); }

bool createFolders(const std::wstring& folder) {
    const std::string path = posixPath(folder);
    struct stat status;
    if (stat(path.c_str(), &status) == 0) return S_ISDIR(status.st_mode);
    auto cut = folder.find_last_of(L'\\', folder.size() >= 2 ? folder.size() - 2 : 0);
    if (cut != std::wstring::npos && cut > 0 && !createFolders(folder.substr(0, cut))) return false;
    return mkdir(path.c_str(), 0777) == 0 || errno == EEXIST;
}

bool writeEntryData(archive* a, archive_entry* entry, const std::wstring& path) {
    FileDescriptor file(open(posixPath(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (file.get() < 0) return false;
    std::vector<char> buffer(256 * 1024);
    for (;;) {
        la_ssize_t got = archive_read_data(a, buffer.data(), buffer.size());
        if (got == 0) break;
        if (got < 0 || !writeAll(file.get(), buffer.data(), static_cast<size_t>(got))) return false;
    }
    if (archive_entry_mtime_is_set(entry)) {
        const struct timespec times[2] = {{0, UTIME_OMIT},
                                          {archive_entry_mtime(entry), archive_entry_mtime_nsec(entry)}};
        futimens(file.get(), times);
    }
    return true;
}

} // namespace ornivel::extract
