// The publisher's file work that is the same on every platform, built on the thin calls of
// FilePrimitives.h.
#include "FileSystem.h"

#include <memory>

#include "FilePrimitives.h"
#include "filelist/ListSignature.h"
#include "filelist/Md5.h"

namespace ornivel::publish {

namespace {

using platform::OpenFile;

constexpr size_t kBlockSize = 1 << 20;

// Calls the visitor for every entry below `root` + `relative`, each folder after the
// entries within it.
template <typename Visit>
void walk(const Path& root, const std::string& relative, Visit& visit) {
    std::string reason;
    const bool read = platform::readFolder(
        relative.empty() ? root : joined(root, relative), Visit::kStamps,
        [&](const platform::FolderEntry& entry) {
            std::string path = relative;
            if (!path.empty()) path += '/';
            path += entry.name;
            switch (entry.kind) {
            case platform::EntryKind::Folder:
                walk(root, path, visit);
                visit.folder(path);
                break;
            case platform::EntryKind::File:
                visit.file(path, entry.stamp);
                break;
            case platform::EntryKind::Problem:
                visit.problem(path, entry.reason);
                break;
            }
        },
        reason);
    if (!read) visit.unreadable(relative, reason);
}

struct ScanVisit {
    static constexpr bool kStamps = true;
    FolderScan& scan;
    void unreadable(const std::string& relative, const std::string& reason) {
        scan.problems.push_back((relative.empty() ? std::string(".") : relative) + ": cannot be read (" + reason + ")");
    }
    void problem(const std::string& path, std::string_view reason) {
        scan.problems.push_back(path + ": " + std::string(reason));
    }
    void folder(const std::string&) {}
    void file(const std::string& path, const FileStamp& stamp) { scan.files.push_back({path, stamp}); }
};

struct ListVisit {
    static constexpr bool kStamps = false;
    std::vector<std::string>& files;
    std::vector<std::string>& folders;
    void unreadable(const std::string&, const std::string&) {}
    void problem(const std::string& path, std::string_view) { files.push_back(path); }
    void folder(const std::string& path) { folders.push_back(path); }
    void file(const std::string& path, const FileStamp&) { files.push_back(path); }
};

// Reads a file to its end in large blocks, feeding each block to `use`.
template <typename Use>
bool readAll(const OpenFile& file, std::atomic<uint64_t>& bytesDone, Use use) {
    // One block per thread, kept for the files to come.
    thread_local std::unique_ptr<unsigned char[]> block(new unsigned char[kBlockSize]);
    for (;;) {
        const int64_t n = platform::readSome(file.get(), block.get(), kBlockSize);
        if (n < 0) return false;
        if (n == 0) return true;
        if (!use(block.get(), static_cast<size_t>(n))) return false;
        bytesDone += static_cast<uint64_t>(n);
    }
}

bool writeAll(const OpenFile& file, const unsigned char* bytes, size_t length) {
    while (length > 0) {
        const int64_t n = platform::writeSome(file.get(), bytes, length);
        if (n <= 0) return false;
        const size_t written = static_cast<size_t>(n);
        bytes += written;
        length -= written;
    }
    return true;
}

// Both digests of the bytes fed to it in order.
class Digesting {
public:
    void update(const unsigned char* bytes, size_t n) {
        md5_.update(bytes, n);
        sha256_.update(bytes, n);
    }
    void finish(FileDigests& digests) {
        md5_.finalize();
        digests.md5 = md5_.hex_digest();
        digests.sha256 = sha256_.hexDigest();
    }

private:
    MD5 md5_;
    Sha256 sha256_;
};

// Writes all of `bytes`, makes them reach the disk and closes the file.
bool writeText(OpenFile& file, const std::string& bytes) {
    return writeAll(file, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()) &&
           platform::flushFile(file.get()) && file.close();
}

} // namespace

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

LinkResult hardLink(const Path& existing, const Path& link, std::string& error) {
    const LinkResult result = platform::linkFile(existing, link);
    if (result == LinkResult::Failed) error = platform::systemError("cannot link", existing);
    return result;
}

bool hashFile(const Path& path, FileDigests& digests, std::atomic<uint64_t>& bytesDone, std::string& error) {
    const OpenFile file = platform::openForReading(path);
    if (!file) {
        error = platform::systemError("cannot open", path);
        return false;
    }
    Digesting digesting;
    if (!readAll(file, bytesDone, [&](const unsigned char* bytes, size_t n) {
            digesting.update(bytes, n);
            return true;
        })) {
        error = platform::systemError("cannot read", path);
        return false;
    }
    digesting.finish(digests);
    return true;
}

bool copyAndHash(const Path& source, const Path& target, const FileStamp& stamp, FileDigests& digests,
                 std::atomic<uint64_t>& bytesDone, std::string& error) {
    const OpenFile in = platform::openForReading(source);
    if (!in) {
        error = platform::systemError("cannot open", source);
        return false;
    }
    OpenFile out = platform::createFile(target, platform::Creation::New, "cannot create", error);
    if (!out) return false;
    Digesting digesting;
    bool written = true;
    if (!readAll(in, bytesDone, [&](const unsigned char* bytes, size_t n) {
            digesting.update(bytes, n);
            return written = writeAll(out, bytes, n);
        })) {
        error = platform::systemError(written ? "cannot read" : "cannot write", written ? source : target);
        return false;
    }
    if (!platform::setWriteTime(out.get(), stamp)) {
        error = platform::systemError("cannot set the time of", target);
        return false;
    }
    if (!out.close()) {
        error = platform::systemError("cannot finish", target);
        return false;
    }
    digesting.finish(digests);
    return true;
}

bool writeWholeFile(const Path& path, const std::string& bytes, std::string& error) {
    OpenFile out = platform::createFile(path, platform::Creation::Replace, "cannot write", error);
    if (!out) return false;
    if (!writeText(out, bytes)) {
        error = platform::systemError("cannot write", path);
        return false;
    }
    return true;
}

bool writeNewFile(const Path& path, const std::string& bytes, bool ownerOnly, std::string& error) {
    OpenFile out = platform::createFile(
        path, ownerOnly ? platform::Creation::NewOwnerOnly : platform::Creation::New, "cannot make", error);
    if (!out) return false;
    if (!writeText(out, bytes)) {
        error = platform::systemError("cannot write", path);
        out.close();
        platform::deleteFile(path);
        return false;
    }
    return true;
}

bool readWholeFile(const Path& path, std::string& bytes) {
    const OpenFile in = platform::openForReading(path);
    if (!in) return false;
    std::string text;
    std::atomic<uint64_t> ignored{0};
    if (!readAll(in, ignored, [&](const unsigned char* block, size_t n) {
            text.append(reinterpret_cast<const char*>(block), n);
            return true;
        }))
        return false;
    bytes = std::move(text);
    return true;
}

bool replaceFile(const Path& from, const Path& to, std::string& error) {
    if (platform::moveReplacing(from, to)) return true;
    error = platform::systemError("cannot put in place", to);
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
    if (platform::deleteFile(path)) return true;
    error = platform::systemError("cannot remove", path);
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

PublishLock::~PublishLock() {
    if (handle_ != platform::kNoFile) platform::closeFile(handle_);
}

bool PublishLock::acquire(const Path& path, std::string& error) {
    platform::NativeFile file = platform::kNoFile;
    switch (platform::lockFile(path, file)) {
    case platform::LockResult::Held:
        handle_ = file;
        return true;
    case platform::LockResult::Busy:
        error = "another ornivel-publish is working on this deployment (" + textOfPath(path) + ")";
        return false;
    case platform::LockResult::Failed:
        break;
    }
    error = platform::systemError("cannot open", path);
    return false;
}

} // namespace ornivel::publish
