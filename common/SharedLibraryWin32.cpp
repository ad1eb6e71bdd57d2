#include "common/SharedLibrary.h"

#include <windows.h>

namespace ornivel {

LibraryHandle loadLibrary(const std::wstring& path, uint32_t* error) {
    HMODULE library = LoadLibraryW(path.c_str());
    if (!library && error) *error = GetLastError();
    return library;
}

void* libraryEntry(LibraryHandle library, const char* name) {
    if (!library) return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

bool setLibrarySearchFolder(const std::wstring& folder) { return SetDllDirectoryW(folder.c_str()) != FALSE; }

} // namespace ornivel
