#pragma once
// A file held open so that no other writer can change, rename or delete it while it is checked
// and used: what was checked is what is used, and it takes its new name through the same
// handle, with no moment in which another writer could put a different file under the name.
#include <windows.h>

#include <string>

#include "common/Handles.h"

namespace ornivel {

class HeldFile {
public:
    // Opens an existing file for reading (and writing when `writable`), sharing it with
    // readers only. False with the system's error when it cannot be opened that way.
    bool open(const std::wstring& path, bool writable);
    bool isOpen() const { return handle_.valid(); }
    HANDLE get() const { return handle_.get(); }
    const std::wstring& path() const { return path_; }

    // The whole file from its start. False with the system's error.
    bool readAll(std::string& bytes);
    // Gives the held file the name `target` (a full path in the same folder), replacing a
    // file there, and releases it. False with the system's error; the file is still held.
    bool renameTo(const std::wstring& target);
    void release() { handle_.reset(); }

private:
    UniqueHandle handle_;
    std::wstring path_;
};

} // namespace ornivel
