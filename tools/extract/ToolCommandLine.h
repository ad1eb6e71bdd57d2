#pragma once
// The command line of the extraction tool: "x -inul ARCHIVE TARGET". Plain text logic, no
// system calls.
#include <optional>
#include <string>

namespace ornivel::extract {

struct ToolArguments {
    std::wstring archive;
    std::wstring target;  // ends with a backslash
    bool quiet = false;   // "-inul": no output at all
};

// Reads the whole command line, program name first, split the way Windows programs split
// theirs (a quoted folder ending in a backslash is written with it doubled: "C:\x\\"). Accepted: the command "x", any switches
// starting with "-" ("-inul" sets quiet; others are ignored), then the archive and the target
// folder. Returns nothing when the archive or the target is missing or the command is unknown.
std::optional<ToolArguments> parseToolCommandLine(const std::wstring& commandLine);


} // namespace ornivel::extract
