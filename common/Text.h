#pragma once
// Text conversion and printf-style formatting at the Win32 edge.
//
// Formatting follows the Microsoft conventions of the C runtime the program ships with:
// in a wide format "%s" takes a wide string, "%S" and "%hs" an 8-bit string, and "%I64d"
// a 64-bit integer. On Windows the functions here call msvcrt's _vsnwprintf/_vsnprintf
// directly, because MinGW's C99 printf family reads "%s" differently; the native build
// (FormatPosix.cpp) formats with the same conventions itself.
#include <cstdarg>
#include <string>

namespace ornivel {

std::wstring formatWide(const wchar_t* format, ...);
std::wstring vformatWide(const wchar_t* format, va_list args);
std::string formatNarrow(const char* format, ...);

// Formats into a buffer of `capacity` characters (terminator included); a longer result
// is cut at the buffer's end. Returns the number of characters written.
size_t vformatWideBounded(wchar_t* buffer, size_t capacity, const wchar_t* format, va_list args);

// The system's ANSI code page (CP_ACP) and UTF-8. The native build takes UTF-8 as the
// system's narrow encoding.
std::string toAnsi(const std::wstring& text);
std::wstring fromAnsi(const std::string& text);
std::string toUtf8(const std::wstring& text);
std::wstring fromUtf8(const std::string& text);
// The text of bytes that are meant to be UTF-8 (names in file lists): decoded as UTF-8 when
// they are valid UTF-8, otherwise through the ANSI code page, so no byte is lost.
std::wstring fromUtf8OrAnsi(const std::string& bytes, bool* tookAnsi = nullptr);

// The process's working folder, always with a trailing backslash (a slash in the native
// build).
std::wstring currentFolder();
// Full path of the running executable, and its folder (without a trailing separator).
std::wstring modulePath();
std::wstring moduleFolder();

// Puts NAME=VALUE into the environment of both the C runtime and the operating system.
void putProcessEnvironment(const std::wstring& name, const std::wstring& value);
// The value of an environment variable of the process, empty when it is not set.
std::wstring processEnvironment(const std::wstring& name);

} // namespace ornivel
