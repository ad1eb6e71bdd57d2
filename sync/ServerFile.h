#pragma once
// The deployment server file "ornivel-Server.dat": its first whitespace-delimited token is
// the address of the version-check service.
#include <string>

namespace ornivel {

// The first token of a text (white space as in the C locale: blank, tab, line and page
// ends), ending at a zero byte as well; empty when there is none.
std::string firstToken(const std::string& text);

// Reads the file's first token (8-bit text, ANSI code page). False, with the operating
// system's error left for LastError, when the file cannot be opened.
bool readServerUrl(const std::wstring& path, std::string& url);

} // namespace ornivel
