#pragma once
// Wide text as UTF-16 code units and back. A wide character is a UTF-16 code unit on
// Windows and a whole code point elsewhere (32-bit wchar_t); Java, the login record and
// the modified UTF-8 of JNI all count in UTF-16 code units.
#include <string>

namespace ornivel {

// Characters beyond U+FFFF become surrogate pairs.
std::u16string toUtf16(const std::wstring& text);
// Surrogate pairs become one character where a wide character holds a whole code point;
// a surrogate without its partner is kept as it is.
std::wstring fromUtf16(const std::u16string& units);

} // namespace ornivel
