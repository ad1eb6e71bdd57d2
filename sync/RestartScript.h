#pragma once
// Self-update: the running launcher cannot overwrite its own executable, so its new version
// arrives beside it as ".tmp" and the batch script "copyrun.bat" moves it into place after
// the launcher has ended, then starts it again. The move replaces the old version in one
// step, so there is a whole launcher in the folder at every moment.
//
// The script works in the installation folder with names relative to it, so no character of
// the folder's path (blank, "&", "%", "!", parentheses) is ever part of its command text.
// The command interpreter starts there; where it cannot stand in the folder (a UNC path such
// as "\\server\home\...", which it refuses as its current folder and replaces by the Windows
// folder), the script enters it with "pushd" (a temporary drive letter), leaves that drive
// again with "popd" and starts the launcher with "start /D", which hands the folder to the
// system's process creation, where UNC paths are fine. The paths it needs for that come from
// variables of the interpreter's environment (ORNIVEL_RESTART_FOLDER, ending in a backslash,
// and ORNIVEL_RESTART_LAUNCHER), which stand only inside quotation marks: the interpreter
// expands a variable once and takes nothing in its value as syntax there. The pause between
// attempts is the system's ping, named by its full path (ORNIVEL_RESTART_PING), so that no
// ping program of the installation or of the path runs.
#include <string>

#include "logdriver/LogDriver.h"

namespace ornivel {

// The script text (lines ended by CR LF): %1 the launcher, %2 its replacement (names relative
// to the installation folder), %3 the restart arguments. Up to 10 attempts, about a second
// apart, to move %2 over %1; then %1 (the new launcher, or the old one when the move never
// succeeded) is started with %3 in the installation folder, and the interpreter ends.
extern const char kCopyRunScript[];

// The script's parameters: the executable and its replacement, quoted, the restart arguments
// and the redirection of the script's output to log\copyrun.log in the installation.
std::wstring restartParameters(const std::wstring& executable, const std::wstring& replacement,
                               const std::wstring& restartArguments);

// The command interpreter's arguments that run the script with the parameters.
std::wstring restartCommandLine(const std::wstring& parameters);

// `path` relative to `folder` (".\" and the rest) when it lies inside it (letter case
// ignored), else unchanged.
std::wstring pathInFolder(const std::wstring& path, const std::wstring& folder);

// Writes the script to `scriptPath` through a text-mode stream (so every line ends in CR CR
// LF on disk), replacing an earlier one. False when it cannot be written.
bool writeRestartScript(const std::wstring& scriptPath);

// Writes `folder`\copyrun.bat and starts it hidden through the system's command interpreter
// (named by its full path) in `folder` for `executable` (the running launcher) and its ".tmp"
// replacement. A script that cannot be started is logged at fatal.
void startRestartScript(const std::wstring& folder, const std::wstring& executable,
                        const std::wstring& restartArguments, LogDriver& log);

// The same, with the interpreter starting in `interpreterFolder` instead, as it does where it
// cannot stand in the installation folder.
void startRestartScriptFrom(const std::wstring& interpreterFolder, const std::wstring& folder,
                            const std::wstring& executable, const std::wstring& restartArguments, LogDriver& log);

} // namespace ornivel
