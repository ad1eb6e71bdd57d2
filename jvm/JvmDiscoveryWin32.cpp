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

void prepareRuntimeLibraries(const std::wstring& folder) {
    // The runtime finds its own libraries (and the C++ runtime it needs) in its bin folder;
    // full paths, so that neither depends on the current folder nor on the search order.
    const std::wstring binFolder = folder + javaRuntimeFolder + L"\\bin\\";
    setLibrarySearchFolder(binFolder);
    loadLibrary(binFolder + L"msvcp140.dll");
}

bool javaOptionText(const std::wstring& text, std::string& option) {
    option.clear();
    if (text.empty()) return true;
    const int length = static_cast<int>(text.size());
    // UTF-8 as the ANSI code page has an exact form for every character and takes no flags.
    const bool utf8 = GetACP() == CP_UTF8;
    const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL defaulted = FALSE;
    BOOL* defaultedOut = utf8 ? nullptr : &defaulted;
    const int size = WideCharToMultiByte(CP_ACP, flags, text.data(), length, nullptr, 0, nullptr, defaultedOut);
    if (size <= 0) return false;
    option.resize(static_cast<size_t>(size));
    WideCharToMultiByte(CP_ACP, flags, text.data(), length, option.data(), size, nullptr, defaultedOut);
    return !defaulted;
}

namespace {

bool readableAsItIs(const std::wstring& path) {
    std::string text;
    return path.find(L';') == std::wstring::npos && javaOptionText(path, text);
}

} // namespace

std::wstring javaReadablePath(const std::wstring& path) {
    if (readableAsItIs(path)) return path;
    const DWORD size = GetShortPathNameW(path.c_str(), nullptr, 0);
    if (size == 0) return {};
    std::wstring shortPath(size, L'\0');
    const DWORD length = GetShortPathNameW(path.c_str(), shortPath.data(), size);
    if (length == 0 || length >= size) return {};
    shortPath.resize(length);
    return readableAsItIs(shortPath) ? shortPath : std::wstring();
}

} // namespace ornivel
