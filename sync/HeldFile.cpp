#include "sync/HeldFile.h"

#include <cstring>
#include <vector>

#include "common/WholeWrite.h"

namespace ornivel {

bool HeldFile::open(const std::wstring& path, bool writable) {
    const DWORD access = GENERIC_READ | DELETE | (writable ? GENERIC_WRITE : 0u);
    handle_.reset(::CreateFileW(path.c_str(), access, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    path_ = handle_ ? path : std::wstring();
    return handle_.valid();
}

bool HeldFile::readAll(std::string& bytes) { return readWhole(handle_.get(), bytes); }

bool HeldFile::renameTo(const std::wstring& target) {
    // FILE_RENAME_INFO ends in the name, of variable length.
    const size_t nameBytes = target.size() * sizeof(wchar_t);
    std::vector<unsigned char> buffer(sizeof(FILE_RENAME_INFO) + nameBytes, 0);
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    info->ReplaceIfExists = TRUE;
    info->RootDirectory = nullptr;
    info->FileNameLength = static_cast<DWORD>(nameBytes);
    std::memcpy(info->FileName, target.c_str(), nameBytes);
    if (!::SetFileInformationByHandle(handle_.get(), FileRenameInfo, info, static_cast<DWORD>(buffer.size())))
        return false;
    handle_.reset();
    path_ = target;
    return true;
}

} // namespace ornivel
