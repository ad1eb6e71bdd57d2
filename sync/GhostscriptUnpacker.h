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
// its folders replace those of "system" only when the tool ends with exit code 0. False
// (logged at error) when the tool could not be written or started, reported a failure, or
// the unpacked folders could not be put in place; the old folders stay then.
bool unpackGhostscript(const std::wstring& folder, LogDriver& log);

} // namespace ornivel
