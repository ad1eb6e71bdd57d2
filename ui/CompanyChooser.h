#pragma once
// The window that offers one button per company and sets up the chosen company's folder.
#include <windows.h>
#include <map>
#include <string>
#include <vector>

#include "config/CompanyCatalog.h"

namespace ornivel {

// Shows the chooser and returns when its window has been closed (0 after a normal end).
int runCompanyChooser(HINSTANCE instance, const CompanyCatalog& catalog);

// Whether a company key names a folder directly under the current folder (no path, no
// drive, none of the characters that folder names cannot hold).
bool isUsableCompanyKey(const std::wstring& key);

// The text of a new "ornivel-Server.dat" for a company's server address (ANSI code page,
// no line end).
std::string companyServerFileText(const std::wstring& serverAddress);

// The click steps without the start: makes the folder `key` under the current folder, copies
// `launcherPath` there as "ornivel.exe" and the current folder's deployment key file
// "ornivel-Key.txt" (when it has one) unless they exist, and writes "ornivel-Server.dat"
// unless one exists. Failures are not reported (the start follows all the same).
void setUpCompanyFolder(const std::wstring& key, const std::wstring& serverAddress, const std::wstring& launcherPath);

} // namespace ornivel
