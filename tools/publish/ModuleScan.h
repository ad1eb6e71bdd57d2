#pragma once
// The client checksum an installation will report once it holds the published files: the
// launcher's own scan of "module/" and "system/jar/", played on the list of files instead of
// a Windows folder. Files in a scan folder are taken by pattern as a Windows enumeration
// matches it, each pattern's names sorted by UTF-16 units; its sub-folders (those that will
// exist, holding published files) in the order NTFS enumerates them. Plain text logic.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace ornivel::publish {

struct ScannedName {
    std::vector<std::wstring> parts;  // components in UTF-16
    uint64_t size = 0;
};

// The scan's entries in order: scan folder + name, and the low 32 bits of the size (0 for
// a folder).
std::vector<std::pair<std::wstring, int>> moduleScanEntries(const std::vector<ScannedName>& files);

// The client checksum of those entries.
std::wstring predictedClientChecksum(const std::vector<ScannedName>& files);

// Whether a file name in a scan folder would be taken by a pattern only through a short 8.3
// name ("x.jarold" is "X~1.JAR" where the volume keeps short names), so that the checksum
// would depend on the volume.
bool matchesOnlyByShortName(const std::wstring& name);

// Whether the components name a file directly inside one of the scan folders.
bool inScanFolder(const std::vector<std::wstring>& parts);

} // namespace ornivel::publish
