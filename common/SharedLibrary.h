#pragma once
// Loading a shared library (a DLL on Windows, a shared object elsewhere) and finding its
// entry points.
#include <cstdint>
#include <string>

namespace ornivel {

// A loaded library; null when loading failed. Libraries stay loaded until the process ends:
// some (a Java runtime among them) cannot be unloaded safely.
using LibraryHandle = void*;

// Loads the library at `path`. On failure returns null and puts the system's error code
// (GetLastError, errno elsewhere) into `error`, when given.
LibraryHandle loadLibrary(const std::wstring& path, uint32_t* error = nullptr);
// The address of an exported function, null when the library has none of that name.
void* libraryEntry(LibraryHandle library, const char* name);
// Makes `folder` the place where the system looks for the libraries that later loaded
// libraries depend on (SetDllDirectoryW). Where libraries find their own dependencies
// (POSIX: run paths), there is nothing to do and the result is false.
bool setLibrarySearchFolder(const std::wstring& folder);

} // namespace ornivel
