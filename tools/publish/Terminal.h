#pragma once
// The publisher's output streams, one implementation per platform (TerminalPosix.cpp,
// TerminalWin32.cpp). Texts are UTF-8.
#include <functional>
#include <string>
#include <string_view>

namespace ornivel::publish {

// Whether the error stream goes to a terminal (progress is shown only there).
bool errorIsTerminal();
void writeError(const std::string& text);
void writeOutput(const std::string& text);
// Reads the standard input to its end, handing out its bytes in pieces; false when it cannot
// be read.
bool readInput(const std::function<void(std::string_view)>& onPiece);

} // namespace ornivel::publish
