#pragma once
// UTF-8 and wide text without the operating system: the strict reading of UTF-8 that
// decides whether a name's bytes are UTF-8 at all, and the writing of wide text as UTF-8.
// Wide text counts in UTF-16 code units where wchar_t has 16 bits (Windows); where it has 32
// bits a character beyond U+FFFF is one wchar_t, and a pair of surrogate units in two
// wchar_t is read as the character they encode. Plain text logic, no system calls.
#include <string>
#include <string_view>

namespace ornivel {

// Whether the bytes are well-formed UTF-8 (as decodeUtf8 reads them).
bool isUtf8(std::string_view bytes);

// Reads well-formed UTF-8 only: no overlong forms, no encoded surrogates, nothing beyond
// U+10FFFF, no cut sequence. False (and `text` unspecified) for any other byte string.
bool decodeUtf8(std::string_view bytes, std::wstring& text);

// The UTF-8 bytes of wide text; a surrogate without its partner, or a value beyond U+10FFFF,
// becomes U+FFFD (EF BF BD), as the system's conversion writes it.
std::string encodeUtf8(const std::wstring& text);

} // namespace ornivel
