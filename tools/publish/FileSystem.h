#pragma once
// The publisher's work on files and folders: the same logic on every platform
// (FileSystem.cpp) on thin calls of the system (FilePrimitives.h, FileSystemPosix.cpp,
// FileSystemWin32.cpp). Relative paths are texts with "/" between components: on Linux the
// bytes of the names, on Windows their UTF-8 form.
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "PublishState.h"

namespace ornivel::publish {

using Path = std::filesystem::path;

// The path a command-line text names (UTF-8 on Windows, the bytes as given on Linux).
Path pathOfText(const std::string& text);
// The text of a path, with "/" between components.
std::string textOfPath(const Path& path);
// `root` followed by a relative path.
Path joined(const Path& root, const std::string& relative);
// The absolute form of a path, with "." and ".." steps resolved.
Path absolutePath(const Path& path);

struct ScannedFile {
    std::string path;  // relative to the scanned folder
    FileStamp stamp;
};

struct FolderScan {
    std::vector<ScannedFile> files;
    std::vector<std::string> problems;  // entries that cannot be published, with the reason
};

// Every file below a folder. A link to a file counts as that file; links to folders, other
// special files and folders that cannot be read are problems.
FolderScan scanFolder(const Path& root);

// Relative paths of every file, and of every folder (each folder after the folders within
// it), below a folder; what cannot be read is left out.
void listBelow(const Path& root, std::vector<std::string>& files, std::vector<std::string>& folders);

bool isFolder(const Path& path);
// False when the path is not a file (or a link to one).
bool stampOf(const Path& path, FileStamp& stamp);
// Whether two paths name the same file.
bool sameFile(const Path& a, const Path& b);

enum class LinkResult { Linked, Exists, Unsupported, Failed };
// A new hard link `link` to the file `existing`; Exists when something is at `link` already,
// Unsupported when the file system cannot link them (another volume, no links there).
LinkResult hardLink(const Path& existing, const Path& link, std::string& error);

// The digests the list names a file by, hex, taken in one read of its bytes.
struct FileDigests {
    std::string md5;     // "checksum"
    std::string sha256;  // "sha256"
};
// The digests of a file's bytes; `bytesDone` grows as they are read.
bool hashFile(const Path& path, FileDigests& digests, std::atomic<uint64_t>& bytesDone, std::string& error);
// Copies a file to a new file, hashing the bytes on the way, and gives the copy the time of
// `stamp`.
bool copyAndHash(const Path& source, const Path& target, const FileStamp& stamp, FileDigests& digests,
                 std::atomic<uint64_t>& bytesDone, std::string& error);

// Writes a new file whole and flushes it to the disk.
bool writeWholeFile(const Path& path, const std::string& bytes, std::string& error);
// Writes a file that must not exist yet (nothing is overwritten) whole and flushes it.
// `ownerOnly`: only the user who runs the program may read and write it (mode 0600; on
// Windows an access list of its own that grants that user alone).
bool writeNewFile(const Path& path, const std::string& bytes, bool ownerOnly, std::string& error);
bool readWholeFile(const Path& path, std::string& bytes);
// Puts a file in the place of another in one step (the other one may exist).
bool replaceFile(const Path& from, const Path& to, std::string& error);
bool makeFolders(const Path& path, std::string& error);
// Removes a file; one that is not there (nor the folder it was in) counts as removed.
bool removeFile(const Path& path, std::string& error);
// A file, or a folder with everything in it.
bool removeTree(const Path& path, std::string& error);
// Removes a folder only when it is empty.
void removeEmptyFolder(const Path& path);

// Keeps a second publisher away from the same deployment while it is held.
class PublishLock {
public:
    PublishLock() = default;
    ~PublishLock();
    PublishLock(const PublishLock&) = delete;
    PublishLock& operator=(const PublishLock&) = delete;
    bool acquire(const Path& path, std::string& error);

private:
    intptr_t handle_ = -1;
};

} // namespace ornivel::publish
