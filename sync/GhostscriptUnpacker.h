#pragma once
// Unpacks the Ghostscript module "system\gs.rar" into "system\gs" with the extraction tool
// that the launcher carries (resource RCDATA "EXTRACTTOOL"), written as "unrar.exe" beside
// the installation and deleted again afterwards.
#include <string>

#include "logdriver/LogDriver.h"

namespace ornivel {

// "x -inul " followed by the quoted archive and the quoted target folder (quoted the way the
// tool reads its command line).
std::wstring extractionArguments(const std::wstring& archive, const std::wstring& targetFolder);

// The tool's image in the running program's resources; null (size 0) when it has none.
const void* extractionToolImage(unsigned long& size);

// `folder` is the installation folder. The archive is unpacked into "system\gs.unpack" and
// put in place only when the tool ends with exit code 0: its folder "gs" replaces
// "system\gs" as a whole (the old one comes back when the new one cannot take its place);
// everything else in it is merged into "system" file by file, replacing files of the same
// name and making missing folders, never removing what the archive does not have. False
// (logged at error) when the tool could not be written or started, reported a failure, or
// the unpacked files could not all be put in place; unpacking again then completes it.
bool unpackGhostscript(const std::wstring& folder, LogDriver& log);

} // namespace ornivel
