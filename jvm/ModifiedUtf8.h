#pragma once
// The "modified UTF-8" of JNI (NewStringUTF, GetStringUTFChars, FindClass names): like
// UTF-8, except that U+0000 is written as C0 80 and each UTF-16 code unit of a surrogate
// pair is written on its own as three bytes.
#include <string>

namespace ornivel {

std::string toModifiedUtf8(const std::wstring& text);
// Malformed bytes become U+FFFD; standard four-byte UTF-8 sequences are accepted too.
std::wstring fromModifiedUtf8(const std::string& bytes);

} // namespace ornivel
