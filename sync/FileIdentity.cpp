#include "sync/FileIdentity.h"

#include <windows.h>

#include "common/Handles.h"

namespace ornivel {

namespace {

bool identityOf(const std::wstring& path, BY_HANDLE_FILE_INFORMATION& info) {
    // No access rights are needed for the identity; every sharing mode is allowed, so a
    // running program or an open file can be asked too.
    UniqueHandle file(CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return file && GetFileInformationByHandle(file.get(), &info);
}

} // namespace

bool sameExistingFile(const std::wstring& a, const std::wstring& b) {
    BY_HANDLE_FILE_INFORMATION first, second;
    if (!identityOf(a, first) || !identityOf(b, second)) return false;
    return first.dwVolumeSerialNumber == second.dwVolumeSerialNumber && first.nFileIndexHigh == second.nFileIndexHigh &&
           first.nFileIndexLow == second.nFileIndexLow;
}

bool mayBeShortName(const std::wstring& relativePath) { return relativePath.find(L'~') != std::wstring::npos; }

} // namespace ornivel
