#pragma once
// Shared set-up of the user interface tests.
#include <windows.h>
#include <string>
#include <vector>

#include "config/ServerInfo.h"
#include "tests/support/TestSupport.h"

namespace ornivel::test {

// Loads the common controls (progress bar, tooltips) and COM for this thread.
void initUi();
// Puts the demo background picture into an installation as "system/pictures/ornivel.bmp".
void installPicture(const TempFolder& folder);
// The test-only program that hosts a login dialog.
std::wstring loginHostExe();

std::vector<ServerInfo> threeServers();

// Registry values of the current user, read and written directly.
std::wstring readRegistryString(const std::wstring& keyPath);
bool readRegistryDword(const std::wstring& keyPath, DWORD& value);
void writeRegistryString(const std::wstring& keyPath, const std::wstring& value);
void writeRegistryDword(const std::wstring& keyPath, DWORD value);
bool registryKeyExists(const std::wstring& keyPath);
void deleteRegistryKey(const std::wstring& keyPath);

// Waits a moment for pending paints, then saves a screenshot of `window`.
void screenshot(HWND window, const std::wstring& name);

} // namespace ornivel::test
