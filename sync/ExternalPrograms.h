#pragma once
// Running helper programs and removing folders, for the steps of a synchronisation run that
// need programs outside the launcher. Neither shows anything to the user: a failure is a
// result for the caller to log, never a dialog in the middle of an update.
#include <string>

#include "logdriver/LogDriver.h"

namespace ornivel {

// Starts `program` (named by its full path; on the command line it stands quoted) with the
// arguments and waits for it to end. The program gets no window, and its error mode makes
// the system fail critical errors, missing files and crashes quietly instead of asking the
// user. True when the program was started; it has ended then and `exitCode` (when given)
// holds its exit code. The command line is logged at debug.
bool runAndWait(const std::wstring& program, const std::wstring& arguments, LogDriver& log,
                unsigned long* exitCode = nullptr);

// Deletes a folder with everything in it (to the recycle bin unless `permanently`), without
// any progress, confirmation or error dialog. A missing folder counts as deleted.
bool deleteFolder(const std::wstring& path, bool permanently);

// The shell file operation flags of deleteFolder.
unsigned shellDeleteFlags(bool permanently);

// Whether a shell file operation result means the folder is gone: 0, 2 (nothing to delete)
// or 124 (the path names nothing).
bool folderDeletionSucceeded(int shellResult);

} // namespace ornivel
