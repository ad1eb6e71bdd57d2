#pragma once
// Names of files on deployment servers: the display form of a held name and the
// percent-encoding of a name for a URL.
#include <string>

namespace ornivel {

// File-list names are held as their bytes widened through the ANSI code page. The display
// form narrows them back through that code page and decodes the bytes as UTF-8, which
// gives the real name; for ASCII names it equals the input.
std::wstring displayForm(const std::wstring& name);

// Percent-encodes an 8-bit name: letters, digits and ~ ! * / . _ - ( ) ' stay, every
// other byte becomes "%" and two lower-case hexadecimal digits.
std::string urlEncode(const std::string& name);

} // namespace ornivel
