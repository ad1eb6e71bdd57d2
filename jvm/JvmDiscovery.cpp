#include "jvm/JvmDiscovery.h"

#include <windows.h>
#include <vector>

#include "common/Handles.h"

namespace ornivel {

const wchar_t* const javaRuntimeFolder = L"java_17.0.1";

namespace {

const wchar_t* const kJavaRuntimeKey = L"Software\\JavaSoft\\Java Runtime Environment";

bool readableFile(const std::wstring& path) {
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    return file.valid();
}

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

std::wstring findJvmLibrary(const std::wstring& folder) {
    const std::wstring base = folder + javaRuntimeFolder;
    for (const wchar_t* flavour : {L"\\bin\\client\\jvm.dll", L"\\bin\\server\\jvm.dll"}) {
        std::wstring candidate = base + flavour;
        if (readableFile(candidate)) return candidate;
    }
    return findRegisteredJvm();
}

} // namespace ornivel
