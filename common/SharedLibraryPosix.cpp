#include "common/SharedLibrary.h"

#include <dlfcn.h>

#include <cerrno>

#include "common/DebugOutput.h"
#include "common/PosixPath.h"
#include "common/Text.h"

namespace ornivel {

LibraryHandle loadLibrary(const std::wstring& path, uint32_t* error) {
    errno = 0;
    // Global symbols, as a Java launcher loads its runtime.
    void* library = dlopen(posixPath(path).c_str(), RTLD_NOW | RTLD_GLOBAL);
    if (!library) {
        if (error) *error = static_cast<uint32_t>(errno);
        // dlerror's text says more than errno; it goes to the debugger output.
        if (const char* reason = dlerror()) debugOutput(fromUtf8(reason) + L"\n");
    }
    return library;
}

void* libraryEntry(LibraryHandle library, const char* name) {
    if (!library) return nullptr;
    return dlsym(library, name);
}

bool setLibrarySearchFolder(const std::wstring&) { return false; }

} // namespace ornivel
