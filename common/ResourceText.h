#pragma once
// Texts of the program's string table (Windows only).
#include <windows.h>

#include <string>

namespace ornivel {

// The string resource `id` of the module, at most 1023 characters; empty when missing.
std::wstring loadResourceString(HINSTANCE instance, UINT id);

} // namespace ornivel
