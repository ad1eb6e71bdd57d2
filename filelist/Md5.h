#pragma once
// MD5 message digest (RFC 1321), used for file checksums, the client checksum and the
// password digest of the login hand-off. Plain logic on bytes and C files, no system calls.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace ornivel {

class MD5 {
public:
    // Initialised; the user calls update and finalize.
    MD5();
    // Digests the bytes up to the terminating zero and finalizes.
    explicit MD5(const unsigned char* zeroTerminated);
    // Digests an open file from its current position to its end and finalizes. The file is
    // closed here; the caller must not close it again.
    explicit MD5(FILE* file);

    void update(const unsigned char* input, size_t length);
    // Reads the file in blocks of 1,024 bytes until a read returns nothing, then closes it.
    void update(FILE* file);
    void finalize();

    // 32 lower-case hexadecimal digits; empty (and a message on standard error) before
    // finalize.
    std::string hex_digest() const;

    static constexpr size_t kFileBlockSize = 1024;

private:
    void transform(const unsigned char* block);
    void transformBlocks(const unsigned char* blocks, size_t count);

    uint32_t state_[4];
    uint32_t count_[2];  // message length in bits, low half first
    unsigned char buffer_[64];
    unsigned char digest_[16];
    bool finalized_;
};

// The digest text of the UTF-8 form of a text, up to its first zero character.
std::wstring md5HexOfText(const std::wstring& text);
// The digest text of bytes in memory.
std::string md5HexOfBytes(std::string_view bytes);
// The digest text of an open file's bytes; the file is closed. No file gives an empty text.
std::string md5HexOfFile(FILE* file);

} // namespace ornivel
