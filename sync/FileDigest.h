#pragma once
// Digests (MD5, SHA-256) of files read in large blocks. The digest's own file reading takes 1,024 bytes a
// read; this reads the same bytes in far fewer reads, through a buffer the caller keeps.
#include <windows.h>

#include <string>
#include <vector>

namespace ornivel {

constexpr size_t kFileDigestBlock = 1024 * 1024;

// A buffer for md5HexOfHandle, kept from file to file.
inline std::vector<unsigned char> fileDigestBuffer() { return std::vector<unsigned char>(kFileDigestBlock); }

// The digest text of an open file's bytes from its current position to its end; false when
// a read fails.
bool md5HexOfHandle(HANDLE file, std::vector<unsigned char>& block, std::string& hex);
// The same for SHA-256.
bool sha256HexOfHandle(HANDLE file, std::vector<unsigned char>& block, std::string& hex);

} // namespace ornivel
