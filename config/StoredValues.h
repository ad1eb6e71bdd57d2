#pragma once
// Values the launcher remembers per installation folder and per Windows user, kept in the
// current user's registry hive: the last user id, the last login server, the password (kept
// with the data protection of the current user), and the synchroniser's saved
// version-check answer.
#include <cstdint>
#include <string>

namespace ornivel {

// Key prefixes; each full path is a prefix followed by installationName(), so the data lies
// in the key's default (unnamed) value.
extern const wchar_t* const kLastUserPrefix;       // "Software\Torbenwald\ornivel\lastUser\"
extern const wchar_t* const kPasswordPrefix;       // "Software\Torbenwald\ornivel\password\"
extern const wchar_t* const kLastServerPrefix;     // "Software\Torbenwald\ornivel\lastServer\"
extern const wchar_t* const kZolpLastUserPrefix;   // "Software\Torbenwald\ZOLP\lastUser\"
extern const wchar_t* const kDeploymentPrefix;     // "Software\Torbenwald\ornivel\deployment\"
// The value under a password key (kPasswordPrefix + installation) that holds the password,
// protected for the current user (DPAPI, REG_BINARY). The key's default value held it
// scrambled in older launchers.
extern const wchar_t* const kProtectedPasswordValue;  // "Protected"

// The last component of the current folder with its trailing backslash ("Client\" for
// C:\Programs\Client\; the whole text for a drive root).
std::wstring installationName();
// The same rule applied to a given folder path (a backslash is appended when missing).
std::wstring installationNameOf(std::wstring folder);

// One registry value of the current user's hive: text (REG_SZ) or number (REG_DWORD). The
// full path is split at its last backslash into the sub-key and the value name (empty: the
// key's default value). Construction reads the value once, so that set() writes only when
// the value differs from what is stored; with `alwaysAccess` every get() and set() goes to
// the registry.
template <typename T>
class RegistryValue {
public:
    explicit RegistryValue(const std::wstring& fullPath, T defaultValue = T(), bool alwaysAccess = false);

    T read();
    T get();
    void set(const T& value);
    bool known() const { return known_; }

private:
    void write();

    std::wstring valueName_;
    std::wstring subKey_;
    T cached_{};
    T default_;
    bool known_ = false;
    bool alwaysAccess_;
};

extern template class RegistryValue<std::wstring>;
extern template class RegistryValue<uint32_t>;
using RegistryString = RegistryValue<std::wstring>;
using RegistryDword = RegistryValue<uint32_t>;

// The password stored under the key `path` of the current user's hive (a trailing backslash
// is dropped, as for the key's default value); empty when none
// is stored or it cannot be read back (protected by another user or machine). A password
// the older launchers stored scrambled is kept the new way then, and the old value removed.
std::wstring loadStoredPassword(const std::wstring& path);
// Stores the password there (an empty one removes it); writes nothing when the same
// password is already kept. Removes an old scrambled value.
void saveStoredPassword(const std::wstring& path, const std::wstring& password);

// What the login form shows when it appears.
struct StoredLogin {
    std::wstring userId;
    int serverIndex = 0;     // 0 when the stored index is no position of the server list
    std::wstring password;   // unscrambled; empty when none is stored
    bool savePassword = false;  // true when a password was stored
};

// Loads the stored values of the current installation (falling back to the older product
// family's last user id when this one has none). `serverCount` is the length of the
// server list.
StoredLogin loadStoredLogin(int serverCount);
// Saves them at Login. `passwordOrEmpty` is the typed password when "Save Password" is
// checked, otherwise empty (which replaces a stored password by an empty value).
void saveStoredLogin(const std::wstring& userId, int serverIndex, const std::wstring& passwordOrEmpty);

} // namespace ornivel
