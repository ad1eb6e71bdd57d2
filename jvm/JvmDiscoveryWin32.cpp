// Where Windows keeps a Java runtime: the registry, and the runtime's own DLL folder.
#include "jvm/JvmDiscovery.h"

#include <windows.h>

#include "common/Registry.h"
#include "common/SharedLibrary.h"

namespace ornivel {

const wchar_t* const jvmLibraryPlaces[2] = {L"\\bin\\client\\jvm.dll", L"\\bin\\server\\jvm.dll"};

namespace {

const wchar_t* const kJavaRuntimeKey = L"Software\\JavaSoft\\Java Runtime Environment";

// A string value; false when it is missing or not a string.
bool readRegistryString(HKEY key, const wchar_t* name, std::wstring& value) {
    DWORD type = 0;
    return readRegistryText(key, name, value, &type) && (type == REG_SZ || type == REG_EXPAND_SZ);
}

} // namespace

std::wstring findRegisteredJvm() {
    UniqueRegKey runtimes = openRegistryKey(HKEY_LOCAL_MACHINE, kJavaRuntimeKey);
    if (!runtimes) return {};
    std::wstring version;
    if (!readRegistryString(runtimes.get(), L"CurrentVersion", version)) return {};
    UniqueRegKey runtime = openRegistryKey(HKEY_LOCAL_MACHINE, std::wstring(kJavaRuntimeKey) + L"\\" + version);
    if (!runtime) return {};
    std::wstring library;
    if (!readRegistryString(runtime.get(), L"RuntimeLib", library)) return {};
    return library;
}

void prepareRuntimeLibraries() {
    // The runtime finds its own libraries (and the C++ runtime it needs) in its bin folder.
    const std::wstring binFolder = std::wstring(javaRuntimeFolder) + L"\\bin\\";
    setLibrarySearchFolder(binFolder);
    loadLibrary(binFolder + L"msvcp140.dll");
}

} // namespace ornivel
