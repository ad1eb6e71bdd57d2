#pragma once
// Command lines as Windows programs read them: one argument quoted so that it reaches the
// program unchanged, and a command line split into its arguments by the rules of the C
// runtime (CommandLineToArgvW). Plain text logic, no system calls.
#include <string>
#include <vector>

namespace ornivel {

// The argument in quotation marks as it must stand on a command line to reach the program
// unchanged: backslashes before a quotation mark (and before the closing one) doubled, a
// quotation mark inside escaped.
std::wstring quoteArgument(const std::wstring& argument);

// The arguments of a command line, the program name first. The program name ends at the
// first blank outside quotation marks and keeps its backslashes; in the other arguments 2n
// backslashes before a quotation mark stand for n backslashes and the mark opens or closes
// a quoted part, 2n+1 backslashes for n backslashes and a literal mark, and "" inside a
// quoted part for one literal mark.
std::vector<std::wstring> splitCommandLine(const std::wstring& commandLine);

} // namespace ornivel
