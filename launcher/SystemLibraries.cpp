// Where the launcher's delay-imported libraries come from. winhttp.dll, mpr.dll and
// crypt32.dll are not among the system's known libraries, so an ordinary import would find
// a file of that name in the executable's folder (the installation, which users and
// deployments write to) before the system's own. They are delay-imported instead
// (cmake/delay-imports.cmake), and loaded from the system folder by their full paths before
// anything else runs. A later load by name (the delay-load helper's, or one system
// library's of another) then finds the library already loaded; the hook below makes sure
// that the helper never searches itself.
//
// Linked into the executable directly (not through a library), so that the hook takes the
// place of the C runtime's empty one.
#include <windows.h>
#include <delayimp.h>

namespace {

// `name` is plain ASCII ("WINHTTP.dll").
HMODULE loadSystemLibrary(const char* name) {
    wchar_t path[MAX_PATH + 64];
    const UINT length = GetSystemDirectoryW(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return nullptr;
    size_t at = length;
    path[at++] = L'\\';
    for (const char* c = name; *c && at + 1 < sizeof(path) / sizeof(path[0]); ++c)
        path[at++] = static_cast<wchar_t>(static_cast<unsigned char>(*c));
    path[at] = L'\0';
    // Its own dependencies are looked for beside it first, in the system folder.
    return LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

// Before any static object of the program is made.
__attribute__((constructor(101))) void loadSystemLibraries() {
    static const char* const kNames[] = {"winhttp.dll", "mpr.dll", "crypt32.dll"};
    for (const char* name : kNames) loadSystemLibrary(name);
}

FARPROC WINAPI loadFromSystemFolder(unsigned notification, PDelayLoadInfo info) {
    if (notification != dliNotePreLoadLibrary || !info || !info->szDll) return nullptr;
    HMODULE library = loadSystemLibrary(info->szDll);
    if (!library) {
        // Never the helper's own search, which would begin in the executable's folder: the
        // failure the helper reports for a library that cannot be loaded at all.
        ULONG_PTR argument = reinterpret_cast<ULONG_PTR>(info);
        RaiseException(VcppException(ERROR_SEVERITY_ERROR, ERROR_MOD_NOT_FOUND), 0, 1, &argument);
    }
    return reinterpret_cast<FARPROC>(library);
}

} // namespace

extern "C" {
PfnDliHook __pfnDliNotifyHook2 = loadFromSystemFolder;
}
