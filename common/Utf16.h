#pragma once
// The program's one UTF-8/UTF-16 codec, written without the system's functions so that every
// build converts alike. A wide character is what the platform's C library makes it: a UTF-16
// code unit on Windows (a character beyond U+FFFF is a surrogate pair), a whole code point on
// POSIX (32-bit wchar_t). Java, JNI's modified UTF-8, the login record and the folding of the
// client checksum count UTF-16 code units: they take text through toUtf16 first.
#include <string>
#include <string_view>

namespace ornivel {

// The UTF-16 code units of a wide text; characters beyond U+FFFF become surrogate pairs.
std::u16string toUtf16(const std::wstring& text);
// Surrogate pairs become one character where a wide character holds a whole code point; a
// surrogate without its partner is kept as it is.
std::wstring fromUtf16(const std::u16string& units);

// The UTF-8 form. A surrogate without its partner becomes U+FFFD, as the system's own
// conversion makes it.
std::string utf8OfUtf16(const std::wstring& text);
// The UTF-8 form; false when the text holds a surrogate without its partner.
bool strictUtf8OfUtf16(const std::wstring& text, std::string& utf8);
// The wide text of well-formed UTF-8; false for overlong forms, encoded surrogates, values
// beyond U+10FFFF and cut sequences.
bool utf16OfUtf8(std::string_view utf8, std::wstring& text);
// The wide text of any bytes: each byte that does not begin a well-formed sequence becomes
// U+FFFD, and reading goes on with the next byte.
std::wstring utf16OfUtf8Replacing(std::string_view utf8);

} // namespace ornivel
