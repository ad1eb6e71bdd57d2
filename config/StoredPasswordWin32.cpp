// The stored login password, kept with the Windows data protection of the current user
// (DPAPI): only the same user on the same machine (or with the same roaming profile) can
// read it back. An older launcher kept it scrambled in the key's default value; such a
// password is read once, kept the new way and the old value removed.
#include "config/StoredValues.h"

#include <windows.h>
#include <wincrypt.h>

#include <vector>

#include "common/Handles.h"
#include "common/Registry.h"
#include "common/Text.h"
#include "config/PasswordScrambling.h"

namespace ornivel {

const wchar_t* const kProtectedPasswordValue = L"Protected";

namespace {

// Ties the protected data to this purpose: another program's DPAPI data does not pass here.
const wchar_t kEntropyText[] = L"ornivel stored login password";

DATA_BLOB entropy() {
    DATA_BLOB blob;
    blob.pbData = reinterpret_cast<BYTE*>(const_cast<wchar_t*>(kEntropyText));
    blob.cbData = static_cast<DWORD>(sizeof(kEntropyText) - sizeof(wchar_t));
    return blob;
}

bool protect(const std::wstring& password, std::vector<BYTE>& sealed) {
    DATA_BLOB plain;
    plain.pbData = reinterpret_cast<BYTE*>(const_cast<wchar_t*>(password.data()));
    plain.cbData = static_cast<DWORD>(password.size() * sizeof(wchar_t));
    DATA_BLOB extra = entropy();
    DATA_BLOB out{};
    if (!CryptProtectData(&plain, L"ornivel", &extra, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &out)) return false;
    sealed.assign(out.pbData, out.pbData + out.cbData);
    SecureZeroMemory(out.pbData, out.cbData);
    LocalFree(out.pbData);
    return true;
}

bool unprotect(std::vector<BYTE>& sealed, std::wstring& password) {
    DATA_BLOB in;
    in.pbData = sealed.data();
    in.cbData = static_cast<DWORD>(sealed.size());
    DATA_BLOB extra = entropy();
    DATA_BLOB out{};
    if (!CryptUnprotectData(&in, nullptr, &extra, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &out)) return false;
    password.assign(reinterpret_cast<const wchar_t*>(out.pbData), out.cbData / sizeof(wchar_t));
    SecureZeroMemory(out.pbData, out.cbData);
    LocalFree(out.pbData);
    return true;
}

// The protected value: false when it is missing (or not binary data).
bool readSealed(HKEY key, std::vector<BYTE>& sealed) {
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(key, kProtectedPasswordValue, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        type != REG_BINARY)
        return false;
    sealed.resize(size);
    if (RegQueryValueExW(key, kProtectedPasswordValue, nullptr, &type, sealed.data(), &size) != ERROR_SUCCESS)
        return false;
    sealed.resize(size);
    return true;
}

bool writeSealed(const std::wstring& subKey, const std::wstring& password) {
    std::vector<BYTE> sealed;
    if (!protect(password, sealed)) return false;
    UniqueRegKey key = createRegistryKey(HKEY_CURRENT_USER, subKey);
    return key && RegSetValueExW(key.get(), kProtectedPasswordValue, 0, REG_BINARY, sealed.data(),
                                 static_cast<DWORD>(sealed.size())) == ERROR_SUCCESS;
}

// Removes the old scrambled text (the key's default value) when there is one.
void removeScrambled(const std::wstring& subKey) {
    UniqueRegKey key = createRegistryKey(HKEY_CURRENT_USER, subKey);
    if (key) RegDeleteValueW(key.get(), nullptr);
}

// A value path ends in a backslash (the key's default value); the key is the path before it.
std::wstring keyOf(const std::wstring& path) {
    return !path.empty() && path.back() == L'\\' ? path.substr(0, path.size() - 1) : path;
}

} // namespace

std::wstring loadStoredPassword(const std::wstring& path) {
    const std::wstring subKey = keyOf(path);
    UniqueRegKey key = openRegistryKey(HKEY_CURRENT_USER, subKey);
    if (!key) return {};
    std::vector<BYTE> sealed;
    std::wstring password;
    // Data another user or machine protected cannot be read here: no stored password.
    if (readSealed(key.get(), sealed)) return unprotect(sealed, password) ? password : std::wstring();

    std::wstring scrambled;
    if (!readRegistryText(key.get(), nullptr, scrambled) || scrambled.empty()) return {};
    password = fromAnsi(unscramblePassword(toAnsi(scrambled)));
    key.reset();
    if (!password.empty() && writeSealed(subKey, password)) removeScrambled(subKey);
    return password;
}

void saveStoredPassword(const std::wstring& path, const std::wstring& password) {
    const std::wstring subKey = keyOf(path);
    bool sealedExists = false, kept = false, old = false;
    std::wstring stored;
    if (UniqueRegKey key = openRegistryKey(HKEY_CURRENT_USER, subKey)) {
        std::vector<BYTE> sealed;
        sealedExists = readSealed(key.get(), sealed);
        kept = sealedExists && unprotect(sealed, stored);
        std::wstring scrambled;
        old = readRegistryText(key.get(), nullptr, scrambled);
    }
    if (password.empty()) {
        if (sealedExists) {
            UniqueRegKey key = createRegistryKey(HKEY_CURRENT_USER, subKey);
            if (key) RegDeleteValueW(key.get(), kProtectedPasswordValue);
        }
    } else if (!kept || stored != password) {
        if (!writeSealed(subKey, password)) return;  // the old value stays where the new one is not written
    }
    SecureZeroMemory(stored.data(), stored.size() * sizeof(wchar_t));
    if (old) removeScrambled(subKey);
}

} // namespace ornivel
