#pragma once
// The XML file list of a deployment ("TarnFileList.xml"): one entry per file with its path,
// timestamp, size and optional MD5 checksum.
#include <windows.h>
#include <map>
#include <string>
#include <vector>

namespace ornivel {

class FileListFile {
public:
    FileListFile() = default;
    FileListFile(std::wstring path, std::wstring checksum, int size, FILETIME timestamp)
        : path(std::move(path)), checksum(std::move(checksum)), size(size), timestamp(timestamp) {}
    virtual ~FileListFile() = default;
    FileListFile(const FileListFile&) = default;
    FileListFile& operator=(const FileListFile&) = default;

    std::wstring path;      // "Path" widened through the ANSI code page
    std::wstring checksum;  // "checksum", or empty
    int size = 0;           // "Size"
    FILETIME timestamp{};   // local file time
};

class FileList {
public:
    FileList() = default;
    virtual ~FileList() = default;
    FileList(const FileList&) = default;
    FileList& operator=(const FileList&) = default;

    // Reads a list file; a missing or unreadable file gives an empty list. A document that
    // is not well-formed gives the entries read before the fault and counts as damaged.
    static FileList load(const std::wstring& path);

    // Whether the path, lower-cased (A-Z only), is a key of the list.
    bool contains(const std::wstring& relativePath) const;
    // The entries in key order.
    std::vector<FileListFile> files() const;

    void insert(const FileListFile& file);
    size_t size() const { return entries_.size(); }
    // The file existed but could not be read whole, or was not well-formed XML: the list may
    // lack entries that the file meant to hold.
    bool damaged() const { return damaged_; }

private:
    std::map<std::wstring, FileListFile> entries_;
    std::wstring unused_;
    bool damaged_ = false;
};

// Lower-cases A-Z only; every other UTF-16 unit stays.
std::wstring lowerAscii(std::wstring text);
// Same high halves, and low halves within 60 seconds as a signed 32-bit difference.
bool sameFileTime(const FILETIME& a, const FILETIME& b);

} // namespace ornivel
