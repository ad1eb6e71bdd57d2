#include "config/StoredValues.h"

#include "common/Registry.h"

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

bool readStored(HKEY key, const std::wstring& name, std::wstring& value) {
    return readRegistryText(key, name.c_str(), value);
}
bool readStored(HKEY key, const std::wstring& name, uint32_t& value) {
    return readRegistryNumber(key, name.c_str(), value);
}
bool writeStored(HKEY key, const std::wstring& name, const std::wstring& value) {
    return writeRegistryText(key, name.c_str(), value);
}
bool writeStored(HKEY key, const std::wstring& name, uint32_t value) {
    return writeRegistryNumber(key, name.c_str(), value);
}

} // namespace

template <typename T>
RegistryValue<T>::RegistryValue(const std::wstring& fullPath, T defaultValue, bool alwaysAccess)
    : default_(std::move(defaultValue)), alwaysAccess_(alwaysAccess) {
    splitRegistryPath(fullPath, subKey_, valueName_);
    read();
}

template <typename T>
T RegistryValue<T>::read() {
    UniqueRegKey key = openRegistryKey(HKEY_CURRENT_USER, subKey_);
    T value{};
    if (!key || !readStored(key.get(), valueName_, value)) return default_;
    cached_ = std::move(value);
    known_ = true;
    return cached_;
}

template <typename T>
T RegistryValue<T>::get() {
    if (!known_ || alwaysAccess_) return read();
    return cached_;
}

template <typename T>
void RegistryValue<T>::set(const T& value) {
    if (value == cached_ && !alwaysAccess_) return;
    cached_ = value;
    write();
}

template <typename T>
void RegistryValue<T>::write() {
    UniqueRegKey key = createRegistryKey(HKEY_CURRENT_USER, subKey_);
    if (key && writeStored(key.get(), valueName_, cached_)) known_ = true;
}

template class RegistryValue<std::wstring>;
template class RegistryValue<uint32_t>;

} // namespace ornivel
