#include "common/FileAccess.h"

#include <windows.h>
#include <share.h>

#include "common/Handles.h"

namespace ornivel {

bool canOpenForReading(const std::wstring& path, bool othersMayRead, bool othersMayWrite) {
    DWORD sharing = (othersMayRead ? FILE_SHARE_READ : 0) | (othersMayWrite ? FILE_SHARE_WRITE : 0);
    UniqueHandle file(
        CreateFileW(path.c_str(), GENERIC_READ, sharing, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file.valid();
}

bool deleteFile(const std::wstring& path) { return DeleteFileW(path.c_str()) != FALSE; }

FILE* openSharedFile(const std::wstring& path, const wchar_t* mode) { return _wfsopen(path.c_str(), mode, _SH_DENYNO); }

} // namespace ornivel
