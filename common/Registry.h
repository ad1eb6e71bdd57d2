#pragma once
// Reading and writing registry values (Windows only).
#include <windows.h>

#include <cstdint>
#include <string>

#include "common/Handles.h"

namespace ornivel {

// The key opened for reading, or created (when missing) and opened for writing; empty when
// that fails.
UniqueRegKey openRegistryKey(HKEY root, const std::wstring& subKey);
UniqueRegKey createRegistryKey(HKEY root, const std::wstring& subKey);

// A value's text of any length, up to its first NUL (a stored text may lack its own); `type`
// receives the value's type. False when the value is missing or unreadable. A null or empty
// `name` is the key's default value.
bool readRegistryText(HKEY key, const wchar_t* name, std::wstring& value, DWORD* type = nullptr);
bool readRegistryNumber(HKEY key, const wchar_t* name, uint32_t& value);
bool writeRegistryText(HKEY key, const wchar_t* name, const std::wstring& value);
bool writeRegistryNumber(HKEY key, const wchar_t* name, uint32_t value);

} // namespace ornivel
