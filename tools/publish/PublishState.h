#pragma once
// What the publisher remembers of its last publication, to hash only changed files: per
// published path the size and last-write time it had and its checksums. The file is only a
// shortcut: when it is missing or unreadable, every file is hashed again. Plain text logic.
#include <cstdint>
#include <map>
#include <string>

namespace ornivel::publish {

// Size and last-write time of a file.
struct FileStamp {
    uint64_t size = 0;
    int64_t seconds = 0;       // since 1970-01-01 00:00:00 UTC
    uint32_t nanoseconds = 0;  // within the second
    bool operator==(const FileStamp& other) const {
        return size == other.size && seconds == other.seconds && nanoseconds == other.nanoseconds;
    }
    bool operator!=(const FileStamp& other) const { return !(*this == other); }
};

struct PublishedFile {
    FileStamp stamp;
    std::string checksum;  // MD5
    std::string sha256;    // empty when a publisher that wrote none published it
};

// Published path ("/" between components) -> what it was published as.
using PublishState = std::map<std::string, PublishedFile>;

std::string stateText(const PublishState& state);
// An unreadable text gives an empty state.
PublishState parseState(const std::string& text);

} // namespace ornivel::publish
