#pragma once
// The installed client, described by its client checksum: an MD5 digest over the names and
// sizes of the module archives in "module/" and "system/jar/".
#include <string>
#include <vector>

#include "logdriver/LogDriver.h"

namespace ornivel {

class OrnivelClient {
public:
    // `folder` gets a trailing "\" unless it ends in "\" or "/".
    OrnivelClient(const std::wstring& folder, const LogDriver& log);
    virtual ~OrnivelClient() = default;

    // 32 lower-case hexadecimal digits.
    std::wstring clientChecksum();

    // Names of the files (not folders) matching the pattern in the directory, sorted by
    // UTF-16 units; empty when the directory cannot be enumerated.
    static std::vector<std::wstring> listFiles(const std::wstring& directory, const std::wstring& pattern);
    // Names of the sub-folders not starting with ".", in enumeration order.
    static std::vector<std::wstring> listSubfolders(const std::wstring& directory);

    const std::wstring& folder() const { return folder_; }

private:
    std::vector<std::wstring> scanEntries();
    int entrySize(const std::wstring& entry);

    std::wstring folder_;
    LogDriver log_;
};

} // namespace ornivel
