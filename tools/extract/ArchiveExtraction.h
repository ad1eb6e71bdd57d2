#pragma once
// Extracts every entry of an archive (RAR among the formats libarchive reads) into a folder,
// with the archive's folder structure, replacing existing files.
#include <functional>
#include <string>

namespace ornivel::extract {

enum ExtractResult : int {
    EXTRACT_OK = 0,
    EXTRACT_ENTRY_FAILED = 3,     // an entry was refused or could not be written; the rest was extracted
    EXTRACT_ARCHIVE_FAILED = 2,   // the archive could not be opened or read to its end
    EXTRACT_USAGE = 7,            // the command line was not understood
};

// `report` receives one line per problem (may be empty).
ExtractResult extractArchive(const std::wstring& archive, const std::wstring& targetFolder,
                             const std::function<void(const std::wstring&)>& report);

} // namespace ornivel::extract
