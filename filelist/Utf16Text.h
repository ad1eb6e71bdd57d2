#pragma once
// UTF-16 text and its UTF-8 form, converted without the system's functions. A std::wstring
// here holds UTF-16 code units on every platform (on Linux, one unit per wchar_t), so texts
// built from Windows names keep their units wherever they are processed. Plain text logic.
#include <string>
#include <string_view>

namespace ornivel {

// The UTF-8 form. A surrogate without its partner becomes U+FFFD, as the system's own
// conversion makes it.
std::string utf8OfUtf16(const std::wstring& units);
// The UTF-8 form; false when the text holds a surrogate without its partner.
bool strictUtf8OfUtf16(const std::wstring& units, std::string& utf8);
// The UTF-16 units of well-formed UTF-8; false for overlong forms, encoded surrogates,
// values beyond U+10FFFF and cut sequences.
bool utf16OfUtf8(std::string_view utf8, std::wstring& units);

} // namespace ornivel
