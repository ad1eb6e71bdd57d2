#pragma once
// The XML file list of a deployment ("TarnFileList.xml"): one entry per file with its path,
// timestamp, size and optional MD5 and SHA-256 checksums.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "common/RelativePath.h"
#include "common/TextScan.h"
#include "filelist/FileListValues.h"

namespace ornivel {

class FileListFile {
public:
    FileListFile() = default;
    FileListFile(std::wstring path, std::wstring checksum, int size, uint64_t timestamp, std::string sha256 = {})
        : path(std::move(path)), checksum(std::move(checksum)), size(size), timestamp(timestamp),
          sha256(std::move(sha256)) {}
    virtual ~FileListFile() = default;
    FileListFile(const FileListFile&) = default;
    FileListFile& operator=(const FileListFile&) = default;

    std::wstring path;      // the real name: "Path" read as UTF-8, "\" separators, no "." steps
    bool ansiPath = false;  // "Path" was not UTF-8 and was read through the ANSI code page
    std::wstring checksum;  // "checksum", or empty
    int size = 0;           // "Size"
    uint64_t timestamp = 0;  // local file time, in 100 ns ticks since 1601
    std::string sha256;      // "sha256", or empty; where given, it decides whether a file is the listed one
    std::string patches;     // "patches": the SHA-256 texts of the older versions the deployment
                             // serves a patch from, separated by blanks; or empty
};

class FileList {
public:
    FileList() = default;
    virtual ~FileList() = default;
    FileList(const FileList&) = default;
    FileList& operator=(const FileList&) = default;

    enum class State {
        Read,         // read whole (a missing file is an empty list read whole)
        Damaged,      // unreadable, not well-formed, or not a list: entries may be missing
        OutOfMemory,  // too large for the memory at hand
    };
    // An entry whose path cannot name a file inside the installation; it is not in the list.
    struct RefusedPath {
        std::wstring path;
        PathFault fault;
    };

    // Reads a list file; a missing file gives an empty list. The list element must be the
    // document's first element; each of its child elements is an entry.
    static FileList load(const std::wstring& path);
    // Reads a list from its bytes (as they stand in the file); what load does after reading.
    static FileList fromText(std::string text);

    // Whether the path, lower-cased (A-Z only), is a key of the list.
    bool contains(const std::wstring& relativePath) const;
    // The entry of a path (compared as contains does), or null.
    const FileListFile* find(const std::wstring& relativePath) const;
    // The entries in key order.
    std::vector<FileListFile> files() const;

    // Adds an entry under the normal form of its path, or keeps it among the refused paths.
    void insert(FileListFile file);
    size_t size() const { return entries_.size(); }
    State state() const { return state_; }
    bool damaged() const { return state_ != State::Read; }
    const std::vector<RefusedPath>& refusedPaths() const { return refused_; }
    // The list element's "Serial" (signed lists); none when it is missing or unreadable.
    std::optional<uint64_t> serial() const { return serial_; }
    // Whether the deployment asks for fleet reports (the list element's "Report" is "1").
    bool reportRequested() const { return reportRequested_; }
    // The list element's "Expires" (signed lists: seconds since 1970); none when missing.
    std::optional<uint64_t> expires() const { return expires_; }
    // The list element's "Servers" (signed lists: the deployment servers in the form of the
    // version-check answer); none when missing.
    const std::optional<std::wstring>& servers() const { return servers_; }

private:
    std::map<std::wstring, FileListFile> entries_;
    State state_ = State::Read;
    std::vector<RefusedPath> refused_;
    std::optional<uint64_t> serial_;
    bool reportRequested_ = false;
    std::optional<uint64_t> expires_;
    std::optional<std::wstring> servers_;
};


} // namespace ornivel
