#pragma once
// Screenshots of what is on the screen, saved as PNG files for a person to look at.
#include <windows.h>
#include <cstdint>
#include <string>
#include <vector>

namespace ornivel::test {

// Writes 8-bit RGB rows (width × 3 bytes each, top row first) as a PNG file; creates the
// parent folders.
bool writePng(const std::wstring& path, int width, int height, const std::vector<uint8_t>& rgb);

// Copies the screen area of `window` (the whole screen when null) into a PNG file.
bool saveScreenshot(HWND window, const std::wstring& pngPath);

// "<build folder>\screenshots\<name>.png".
std::wstring screenshotPath(const std::wstring& name);

} // namespace ornivel::test
