#include "common/Registry.h"

#include <vector>

namespace ornivel {

namespace {

const wchar_t* valueNameOrNull(const wchar_t* name) { return name && *name ? name : nullptr; }

} // namespace

UniqueRegKey openRegistryKey(HKEY root, const std::wstring& subKey) {
    UniqueRegKey key;
    if (RegOpenKeyExW(root, subKey.c_str(), 0, KEY_READ, key.receive()) != ERROR_SUCCESS) key.reset();
    return key;
}

UniqueRegKey createRegistryKey(HKEY root, const std::wstring& subKey) {
    UniqueRegKey key;
    if (RegCreateKeyExW(root, subKey.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, key.receive(), nullptr) !=
        ERROR_SUCCESS)
        key.reset();
    return key;
}

bool readRegistryText(HKEY key, const wchar_t* name, std::wstring& value, DWORD* type) {
    name = valueNameOrNull(name);
    DWORD size = 0;
    if (RegQueryValueExW(key, name, nullptr, type, nullptr, &size) != ERROR_SUCCESS) return false;
    // One extra unit keeps the text terminated when the stored data lacks its NUL.
    std::vector<wchar_t> data(size / sizeof(wchar_t) + 2, L'\0');
    DWORD got = static_cast<DWORD>((data.size() - 1) * sizeof(wchar_t));
    if (RegQueryValueExW(key, name, nullptr, type, reinterpret_cast<BYTE*>(data.data()), &got) != ERROR_SUCCESS)
        return false;
    value = data.data();
    return true;
}

bool readRegistryNumber(HKEY key, const wchar_t* name, uint32_t& value) {
    DWORD number = 0;
    DWORD size = sizeof(number);
    if (RegQueryValueExW(key, valueNameOrNull(name), nullptr, nullptr, reinterpret_cast<BYTE*>(&number), &size) !=
        ERROR_SUCCESS)
        return false;
    value = number;
    return true;
}

bool writeRegistryText(HKEY key, const wchar_t* name, const std::wstring& value) {
    const DWORD bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
    return RegSetValueExW(key, valueNameOrNull(name), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          bytes) == ERROR_SUCCESS;
}

bool writeRegistryNumber(HKEY key, const wchar_t* name, uint32_t value) {
    const DWORD number = value;
    return RegSetValueExW(key, valueNameOrNull(name), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                          sizeof(number)) == ERROR_SUCCESS;
}

} // namespace ornivel
