#pragma once
// What the comparison pass needs to know of a file without a checksum (whether it exists,
// its size and last-write time), taken from one enumeration per folder instead of one
// query per file.
#include <windows.h>

#include <cstdint>
#include <string>
#include <unordered_map>

namespace ornivel {

struct ListedFile {
    DWORD attributes = 0;
    uint64_t size = 0;
    FILETIME lastWrite{};
};

class FolderListing {
public:
    enum class Lookup {
        Found,    // the folder's enumeration names the file: `file` holds its data
        Missing,  // the folder does not exist, or its enumeration has no such file
        Unknown,  // the listing cannot answer safely: ask the file itself
    };

    // `path` is a full path; its folder is enumerated the first time one of its files is
    // looked up. Only names whose letters are ASCII are matched (ignoring case, as the file
    // system does); other names, names that may be short 8.3 names, folders, links and
    // names that two entries share in a case-sensitive folder are Unknown.
    Lookup find(const std::wstring& path, ListedFile& file);
    // Whether the file exists, with its data: from the listing where it can answer, else from
    // the file itself.
    bool lookUp(const std::wstring& path, ListedFile& file);

private:
    struct Folder {
        bool listed = false;  // false: the enumeration failed for another reason than absence
        bool otherLetters = false;  // some name holds letters beyond ASCII
        std::unordered_map<std::wstring, ListedFile> files;  // key: the name in lower case
    };
    static Folder list(const std::wstring& folder);

    std::unordered_map<std::wstring, Folder> folders_;  // key: the folder path in lower case
};

} // namespace ornivel
