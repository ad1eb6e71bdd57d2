#pragma once
// Shared by the fuzz targets: the check that turns a broken invariant into a finding, and the
// ways the targets turn fuzz bytes into the texts the launcher reads.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace ornivel::fuzz {

// A broken invariant is a finding like a crash: libFuzzer keeps the input that broke it.
#define FUZZ_CHECK(condition)                                                                  \
    do {                                                                                       \
        if (!(condition)) {                                                                    \
            std::fprintf(stderr, "invariant broken at %s:%d: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                      \
        }                                                                                      \
    } while (0)

inline std::string_view bytesOf(const uint8_t* data, size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// 8-bit text widened byte by byte: the native stand-in for the ANSI code page (ASCII stays
// ASCII, as in every Windows code page; the other bytes become other characters).
inline std::wstring widenBytes(std::string_view bytes) {
    std::wstring wide;
    wide.reserve(bytes.size());
    for (char c : bytes) wide += static_cast<wchar_t>(static_cast<unsigned char>(c));
    return wide;
}

// Wide text made of UTF-16 code units, two bytes each (low byte first), one unit per wchar_t
// on every platform: the form Java strings and the login record count in.
inline std::wstring unitsOfBytes(std::string_view bytes) {
    std::wstring wide;
    wide.reserve(bytes.size() / 2);
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        wide += static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]) |
                                     (static_cast<unsigned char>(bytes[i + 1]) << 8));
    return wide;
}

// The lines of a text read in text mode: split at "\n", a "\r" before it dropped.
inline std::vector<std::string> textLines(std::string_view text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string line(text.substr(start, end - start));
        if (end < text.size() && !line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

inline bool isLowerHex(wchar_t c) { return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f'); }

} // namespace ornivel::fuzz
