#include "common/FileAccess.h"

#include <fcntl.h>
#include <unistd.h>

#include "common/PosixPath.h"
#include "common/Text.h"

namespace ornivel {

bool canOpenForReading(const std::wstring& path, bool, bool) {
    int file = open(posixPath(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (file < 0) return false;
    close(file);
    return true;
}

bool deleteFile(const std::wstring& path) { return unlink(posixPath(path).c_str()) == 0; }

FILE* openSharedFile(const std::wstring& path, const wchar_t* mode) {
    return fopen(posixPath(path).c_str(), toUtf8(mode).c_str());
}

} // namespace ornivel
