// Where Windows keeps a Java runtime: the registry, and the runtime's own DLL folder.
#include "jvm/JvmDiscovery.h"

#include <windows.h>
#include <vector>

#include "common/Handles.h"
#include "common/SharedLibrary.h"

namespace ornivel {

const wchar_t* const jvmLibraryPlaces[2] = {L"\\bin\\client\\jvm.dll", L"\\bin\\server\\jvm.dll"};

namespace {

const wchar_t* const kJavaRuntimeKey = L"Software\\JavaSoft\\Java Runtime Environment";

// A string value of any length; false when it is missing or not a string.
bool readRegistryString(HKEY key, const wchar_t* name, std::wstring& value) {
    DWORD type = 0;
    DWORD bytes = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS) return false;
    if (type != REG_SZ && type != REG_EXPAND_SZ) return false;
    std::vector<wchar_t> buffer(bytes / sizeof(wchar_t) + 1, L'\0');
    DWORD size = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &size) != ERROR_SUCCESS)
        return false;
    buffer.back() = L'\0';
    value = buffer.data();
    return true;
}

} // namespace

std::wstring findRegisteredJvm() {
    UniqueRegKey runtimes;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kJavaRuntimeKey, 0, KEY_READ, runtimes.receive()) != ERROR_SUCCESS)
        return {};
    std::wstring version;
    if (!readRegistryString(runtimes.get(), L"CurrentVersion", version)) return {};
    UniqueRegKey runtime;
    std::wstring subKey = std::wstring(kJavaRuntimeKey) + L"\\" + version;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, subKey.c_str(), 0, KEY_READ, runtime.receive()) != ERROR_SUCCESS) return {};
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
