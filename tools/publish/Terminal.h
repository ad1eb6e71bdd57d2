#pragma once
// The publisher's output streams, one implementation per platform (TerminalPosix.cpp,
// TerminalWin32.cpp). Texts are UTF-8.
#include <string>

namespace ornivel::publish {

// Whether the error stream goes to a terminal (progress is shown only there).
bool errorIsTerminal();
void writeError(const std::string& text);
void writeOutput(const std::string& text);

} // namespace ornivel::publish
