#pragma once
// Self-update: the running launcher cannot overwrite its own executable, so its new version
// arrives beside it as ".tmp" and the batch script "copyrun.bat" moves it into place after
// the launcher has ended, then starts it again.
#include <string>

#include "logdriver/LogDriver.h"

namespace ornivel {

// The script text (lines ended by CR LF): up to 10 attempts, about a second apart, to delete
// %1; then %2 is moved over %1 and %1 is started with %3.
extern const char kCopyRunScript[];

// The script's parameters: the executable and its replacement, quoted, the restart arguments
// and the redirection of the script's output to log\copyrun.log.
std::wstring restartParameters(const std::wstring& executable, const std::wstring& replacement,
                               const std::wstring& restartArguments);

// Writes the script to `scriptPath` through a text-mode stream (so every line ends in CR CR
// LF on disk), replacing an earlier one. False when it cannot be written.
bool writeRestartScript(const std::wstring& scriptPath);

// Writes `folder`\copyrun.bat and starts it hidden in `folder` for the running executable
// and its ".tmp" replacement. A script that cannot be started is logged at fatal.
void startRestartScript(const std::wstring& folder, const std::wstring& restartArguments, LogDriver& log);

} // namespace ornivel
