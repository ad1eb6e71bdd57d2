#pragma once
// Small RAR archives for the tests (format 4, entries stored without compression), so that
// archives with any names can be made without a RAR compressor.
#include <string>
#include <vector>

namespace ornivel::test {

struct RarEntry {
    std::string name;  // "\" or "/" as separator, as stored
    std::string bytes;
    bool folder = false;
};

std::string storedRarArchive(const std::vector<RarEntry>& entries);

// The RAR test archives of Debian's libarchive source, decoded at build time.
std::wstring libarchiveTestArchive(const std::string& name);

} // namespace ornivel::test
