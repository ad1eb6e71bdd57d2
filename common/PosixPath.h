#pragma once
// POSIX only: the file-system name of a path as the program writes it. The program writes
// Windows paths; a backslash is taken as the folder separator, and the text is UTF-8.
#include <string>

namespace ornivel {

std::string posixPath(const std::wstring& path);

} // namespace ornivel
