#include "ui/stored/StoredLoginData.h"

#include <vector>

#include "common/Handles.h"

namespace ornivel {

namespace {

// Splits "a\b\c" into sub-key "a\b" and value name "c"; a path ending in a backslash names
// the key's default value.
void splitRegistryPath(const std::wstring& fullPath, std::wstring& subKey, std::wstring& valueName) {
    size_t cut = fullPath.find_last_of(L'\\');
    if (cut == std::wstring::npos) {
        subKey.clear();
        valueName = fullPath;
        return;
    }
    subKey = fullPath.substr(0, cut);
    valueName = fullPath.substr(cut + 1);
}

const wchar_t* valueNameOrNull(const std::wstring& name) { return name.empty() ? nullptr : name.c_str(); }

UniqueRegKey openForWriting(HKEY root, const std::wstring& subKey) {
    UniqueRegKey key;
    if (RegCreateKeyExW(root, subKey.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, key.receive(), nullptr) !=
        ERROR_SUCCESS)
        key.reset();
    return key;
}

UniqueRegKey openForReading(HKEY root, const std::wstring& subKey) {
    UniqueRegKey key;
    if (RegOpenKeyExW(root, subKey.c_str(), 0, KEY_READ, key.receive()) != ERROR_SUCCESS) key.reset();
    return key;
}

} // namespace

RegistryString::RegistryString(const std::wstring& fullPath, const std::wstring& defaultValue, bool alwaysAccess,
                               HKEY root)
    : root_(root), default_(defaultValue), alwaysAccess_(alwaysAccess) {
    splitRegistryPath(fullPath, subKey_, valueName_);
    read();
}

std::wstring RegistryString::read() {
    UniqueRegKey key = openForReading(root_, subKey_);
    if (!key) return default_;
    DWORD size = 0;
    if (RegQueryValueExW(key.get(), valueNameOrNull(valueName_), nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS)
        return default_;
    // One extra unit keeps the text terminated when the stored data lacks its NUL.
    std::vector<wchar_t> data(size / sizeof(wchar_t) + 2, L'\0');
    DWORD got = static_cast<DWORD>((data.size() - 1) * sizeof(wchar_t));
    if (RegQueryValueExW(key.get(), valueNameOrNull(valueName_), nullptr, nullptr,
                         reinterpret_cast<BYTE*>(data.data()), &got) != ERROR_SUCCESS)
        return default_;
    cached_ = std::wstring(data.data());  // up to the first NUL
    known_ = true;
    return cached_;
}

std::wstring RegistryString::get() {
    if (!known_ || alwaysAccess_) return read();
    return cached_;
}

void RegistryString::set(const std::wstring& value) {
    if (value == cached_ && !alwaysAccess_) return;
    cached_ = value;
    write();
}

void RegistryString::write() {
    UniqueRegKey key = openForWriting(root_, subKey_);
    if (!key) return;
    DWORD bytes = static_cast<DWORD>((cached_.size() + 1) * sizeof(wchar_t));
    if (RegSetValueExW(key.get(), valueNameOrNull(valueName_), 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(cached_.c_str()), bytes) == ERROR_SUCCESS)
        known_ = true;
}

RegistryDword::RegistryDword(const std::wstring& fullPath, uint32_t defaultValue, bool alwaysAccess, HKEY root)
    : root_(root), default_(defaultValue), alwaysAccess_(alwaysAccess) {
    splitRegistryPath(fullPath, subKey_, valueName_);
    read();
}

uint32_t RegistryDword::read() {
    UniqueRegKey key = openForReading(root_, subKey_);
    if (!key) return default_;
    DWORD value = 0;
    DWORD size = sizeof(value);
    if (RegQueryValueExW(key.get(), valueNameOrNull(valueName_), nullptr, nullptr, reinterpret_cast<BYTE*>(&value),
                         &size) != ERROR_SUCCESS)
        return default_;
    cached_ = value;
    known_ = true;
    return cached_;
}

uint32_t RegistryDword::get() {
    if (!known_ || alwaysAccess_) return read();
    return cached_;
}

void RegistryDword::set(uint32_t value) {
    if (value == cached_ && !alwaysAccess_) return;
    cached_ = value;
    write();
}

void RegistryDword::write() {
    UniqueRegKey key = openForWriting(root_, subKey_);
    if (!key) return;
    DWORD value = cached_;
    if (RegSetValueExW(key.get(), valueNameOrNull(valueName_), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                       sizeof(value)) == ERROR_SUCCESS)
        known_ = true;
}

} // namespace ornivel
