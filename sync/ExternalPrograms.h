#pragma once
// Running helper programs and removing folders, for the steps of a synchronisation run that
// need programs outside the launcher.
#include <string>

#include "logdriver/LogDriver.h"

namespace ornivel {

// Starts `program` (named by its full path; on the command line it stands quoted) with the
// arguments and waits for it to end. True when the program was started; it has ended then
// and `exitCode` (when given) holds its exit code. The command line is logged at debug.
bool runAndWait(const std::wstring& program, const std::wstring& arguments, LogDriver& log,
                unsigned long* exitCode = nullptr);

// Deletes a folder with everything in it (to the recycle bin unless `permanently`). A
// missing folder counts as deleted.
bool deleteFolder(const std::wstring& path, bool permanently);

// Whether a shell file operation result means the folder is gone: 0, 2 (nothing to delete)
// or 124 (the path names nothing).
bool folderDeletionSucceeded(int shellResult);

} // namespace ornivel
