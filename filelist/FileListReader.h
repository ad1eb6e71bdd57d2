#pragma once
// Reading a file list document into the attribute texts of its entries: the scan of the
// document (FileListScanner.h), then each entry's start tag read on its own by TinyXML, so
// the reading never nests. Plain text logic, no system calls.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace ornivel {

// One entry's attributes as they stand in the list; a missing attribute gives empty text.
struct ListEntryText {
    std::string path;      // "Path"
    std::string time;      // "TimestampGMT", or "Timestamp" when that is missing
    std::string checksum;  // "checksum" (MD5)
    std::string sha256;    // "sha256"
    std::string patches;   // "patches": SHA-256 texts of older versions, separated by blanks
    int size = 0;          // "Size" (FileListValues.h), kUnknownListSize when unreadable
};

// The list element's own attributes.
struct ListElementText {
    std::optional<uint64_t> serial;  // "Serial" (signed lists), left alone when missing or unreadable
    bool report = false;             // "Report" is "1": the installation reports each run to the
                                     // deployment server
    std::optional<uint64_t> expires;     // "Expires" (signed lists): seconds since 1970 after which
                                         // the list is no longer taken; none when missing or unreadable
    std::optional<std::string> servers;  // "Servers" (signed lists): the deployment servers in the
                                         // form of the version-check answer
};

// Makes the line ends of `text` "\n" (as the XML reader does when it loads a file), reads the
// list element's attributes into `list`, then hands every entry to `onEntry` in document
// order. False when the document is not a list read whole: not well-formed, not a list, or an
// entry the XML reader refuses or that is not UTF-8 where the document is read as UTF-8 (after
// a byte-order mark or a declaration naming UTF-8 or no encoding); the entries before that one
// have been handed out.
bool readFileListText(std::string& text, ListElementText& list,
                      const std::function<void(const ListEntryText&)>& onEntry);
// The list element's attributes alone (the entries are not read); false when the document is
// not a list.
bool readListElementText(std::string& text, ListElementText& list);
// The same for callers that want only the "Serial".
bool readFileListText(std::string& text, std::optional<uint64_t>& serial,
                      const std::function<void(const ListEntryText&)>& onEntry);

} // namespace ornivel
