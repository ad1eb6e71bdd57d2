#pragma once
// Writing a file list in the form the launcher reads: the list element comes first (no XML
// declaration, no byte-order mark, which launchers in the field would read as an empty list);
// one empty element per file with "Path" (the UTF-8 bytes of the real relative name with "\"
// between components, XML-escaped), "TimestampGMT" (the last-write time in UTC), "Size", the
// lower-case MD5 "checksum" and the lower-case SHA-256 "sha256". Plain text logic, no system
// calls.
#include <cstdint>
#include <string>
#include <string_view>

#include "filelist/FileListValues.h"

namespace ornivel {

// The first and the last line of a list; entries stand between them.
extern const char* const kFileListStart;
extern const char* const kFileListEnd;
// The first line of a signed list: the list element with its "Serial", which launchers that
// do not check signatures pass over.
std::string signedFileListStart(uint64_t serial);
// The first line of any list: the list element with "Serial" when `serial` is not 0, and
// with Report="1" when installations are to send a report of each run (launchers that do
// not know the mark pass over it).
std::string fileListStart(uint64_t serial, bool report);
// The list element's values; launchers that do not know an attribute pass over it.
struct ListHeader {
    uint64_t serial = 0;   // "Serial" when not 0
    bool report = false;   // Report="1"
    uint64_t expires = 0;  // "Expires" (seconds since 1970) when not 0
    std::string servers;   // "Servers" when not empty: the server list of the version-check answer
};
std::string fileListStart(const ListHeader& header);

// "&", "<", ">", '"' and "'" as entities; every other byte as it stands.
std::string xmlEscaped(std::string_view text);

// The UTC calendar time of seconds since 1970-01-01 00:00:00 UTC (negative before), kept
// within 02.01.1601 to 30.12.9999 so that every time zone can convert it.
ListTime listTimeOfUnixSeconds(int64_t seconds);
// "DD.MM.YYYY hh:mm:ss".
std::string listTimeText(const ListTime& time);
// Days since 1970-01-01 of a date of the proleptic Gregorian calendar (negative before): the
// inverse of the date part of listTimeOfUnixSeconds.
int64_t daysOfCivilDate(int64_t year, unsigned month, unsigned day);
// "2026-12-09T21:53:55Z" (ISO 8601, UTC) of seconds since 1970, within the same range.
std::string isoUtcText(int64_t seconds);

// One entry line. `relativePath` holds UTF-8 bytes with "/" or "\" between components.
// `patches`, when not empty, is the "patches" attribute: the SHA-256 texts of the older
// versions the deployment holds a patch from, separated by blanks (launchers that do not
// know it pass over it).
std::string fileListEntry(std::string_view relativePath, const ListTime& utc, uint64_t size, std::string_view checksum,
                          std::string_view sha256 = {}, std::string_view patches = {});

} // namespace ornivel
