#pragma once
// Self-update: the running launcher cannot overwrite its own executable, so its new version
// arrives beside it as ".tmp" and the batch script "copyrun.bat" moves it into place after
// the launcher has ended, then starts it again. The move replaces the old version in one
// step, so there is a whole launcher in the folder at every moment.
#include <string>

#include "logdriver/LogDriver.h"

namespace ornivel {

// The script text (lines ended by CR LF): up to 10 attempts, about a second apart, to move
// %2 over %1; then %1 is started with %3 (the old one, when the new one could not be moved).
extern const char kCopyRunScript[];

// The script's parameters: the executable and its replacement, quoted, the restart arguments
// and the redirection of the script's output to log\copyrun.log.
std::wstring restartParameters(const std::wstring& executable, const std::wstring& replacement,
                               const std::wstring& restartArguments);

// The command line that runs the script from the installation folder with the parameters.
std::wstring restartCommandLine(const std::wstring& parameters);

// `path` relative to `folder` when it lies inside it (letter case ignored), else unchanged.
std::wstring pathInFolder(const std::wstring& path, const std::wstring& folder);

// Writes the script to `scriptPath` through a text-mode stream (so every line ends in CR CR
// LF on disk), replacing an earlier one. False when it cannot be written.
bool writeRestartScript(const std::wstring& scriptPath);

// Writes `folder`\copyrun.bat and starts it hidden in `folder` (through the system's command
// interpreter, named by its full path) for `executable` (the running launcher) and its ".tmp"
// replacement. A script that cannot be started is logged at fatal.
void startRestartScript(const std::wstring& folder, const std::wstring& executable,
                        const std::wstring& restartArguments, LogDriver& log);

} // namespace ornivel
