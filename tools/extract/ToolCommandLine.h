#pragma once
// The command line of the extraction tool: "x -inul ARCHIVE TARGET", and the check that keeps
// every archive entry inside the target folder. Plain text logic, no system calls.
#include <optional>
#include <string>

namespace ornivel::extract {

struct ToolArguments {
    std::wstring archive;
    std::wstring target;  // ends with a backslash
    bool quiet = false;   // "-inul": no output at all
};

// Splits a raw command line into words. Double quotation marks group a word and are
// removed; a backslash is an ordinary character, so a quoted folder ending in a backslash
// ("C:\inst\system\") stays whole.
std::wstring::size_type nextWord(const std::wstring& line, std::wstring::size_type from, std::wstring& word);

// Reads the whole command line, program name first. Accepted: the command "x", any switches
// starting with "-" ("-inul" sets quiet; others are ignored), then the archive and the target
// folder. Returns nothing when the archive or the target is missing or the command is unknown.
std::optional<ToolArguments> parseToolCommandLine(const std::wstring& commandLine);

// The path, relative to the target folder and with "\" separators, under which an archive
// entry is written; nothing when the entry would land outside the target: an absolute name,
// a drive or stream colon, a UNC prefix, a ".." component (or any component made only of dots
// and blanks, which Windows would shorten to one), or a name that is empty after removing "."
// components.
std::optional<std::wstring> safeEntryPath(const std::wstring& entryName);

} // namespace ornivel::extract
