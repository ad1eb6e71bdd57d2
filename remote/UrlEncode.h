#pragma once
// The percent-encoding of a file name for a URL.
#include <string>

namespace ornivel {

// Percent-encodes the bytes of a name (file names go in as UTF-8, the bytes they have in the
// file list): letters, digits and ~ ! * / . _ - ( ) ' stay, every
// other byte becomes "%" and two lower-case hexadecimal digits.
std::string urlEncode(const std::string& name);

} // namespace ornivel
