#include "tests/support/rar/RarFixture.h"

#include <cstdint>

#include "tests/support/TestSupport.h"

namespace ornivel::test {

namespace {

uint32_t crc32Of(const std::string& bytes, uint32_t crc = 0) {
    crc = ~crc;
    for (unsigned char byte : bytes) {
        crc ^= byte;
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void put16(std::string& out, uint32_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}
void put32(std::string& out, uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

// A block: CRC16 (low half of the CRC-32 of everything after it), then the header.
std::string block(const std::string& afterCrc) {
    std::string out;
    put16(out, crc32Of(afterCrc) & 0xFFFF);
    return out + afterCrc;
}

} // namespace

std::string storedRarArchive(const std::vector<RarEntry>& entries) {
    std::string archive("Rar!\x1a\x07\x00", 7);
    std::string main;
    main += '\x73';
    put16(main, 0);   // flags
    put16(main, 13);  // header size
    main += std::string(6, '\0');
    archive += block(main);

    for (const RarEntry& entry : entries) {
        std::string header;
        header += '\x74';
        put16(header, 0x8000u | (entry.folder ? 0x00E0u : 0u));
        put16(header, static_cast<uint32_t>(32 + entry.name.size()));
        put32(header, static_cast<uint32_t>(entry.bytes.size()));  // packed
        put32(header, static_cast<uint32_t>(entry.bytes.size()));  // unpacked
        header += '\x02';                                           // Windows
        put32(header, crc32Of(entry.bytes));
        put32(header, 0x58220000u);  // 02.01.2024 00:00:00 in DOS form
        header += '\x14';            // version 2.0 to unpack
        header += '\x30';            // stored
        put16(header, static_cast<uint32_t>(entry.name.size()));
        put32(header, entry.folder ? 0x10u : 0x20u);
        header += entry.name;
        archive += block(header) + entry.bytes;
    }
    std::string end;
    end += '\x7b';
    put16(end, 0x4000);
    put16(end, 7);
    return archive + block(end);
}

std::wstring libarchiveTestArchive(const std::string& name) {
    return windowsPathOf(std::string(ORNIVEL_RAR_FIXTURES) + "/" + name);
}

} // namespace ornivel::test
