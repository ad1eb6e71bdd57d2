#pragma once
// Values the launcher remembers per installation folder and per Windows user, kept in the
// current user's registry hive: the last user id, the last login server, the (scrambled)
// password, and the synchroniser's saved version-check answer.
#include <windows.h>
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

// The last component of the current folder with its trailing backslash ("Client\" for
// C:\Programs\Client\; the whole text for a drive root).
std::wstring installationName();
// The same rule applied to a given folder path (a backslash is appended when missing).
std::wstring installationNameOf(std::wstring folder);

// One REG_SZ value. The full path is split at its last backslash into the sub-key and the
// value name (empty: the key's default value). Construction reads the value once, so that
// set() writes only when the text differs from what is stored.
class RegistryString {
public:
    RegistryString(const std::wstring& fullPath, const std::wstring& defaultValue = L"", bool alwaysAccess = false,
                   HKEY root = HKEY_CURRENT_USER);
    virtual ~RegistryString() = default;

    std::wstring read();
    std::wstring get();
    void set(const std::wstring& value);
    bool known() const { return known_; }

private:
    void write();

    HKEY root_;
    std::wstring valueName_;
    std::wstring subKey_;
    std::wstring cached_;
    std::wstring default_;
    bool known_ = false;
    bool alwaysAccess_;
};

// One REG_DWORD value, with the same rules as RegistryString.
class RegistryDword {
public:
    RegistryDword(const std::wstring& fullPath, uint32_t defaultValue = 0, bool alwaysAccess = false,
                  HKEY root = HKEY_CURRENT_USER);
    virtual ~RegistryDword() = default;

    uint32_t read();
    uint32_t get();
    void set(uint32_t value);
    bool known() const { return known_; }

private:
    void write();

    HKEY root_;
    std::wstring valueName_;
    std::wstring subKey_;
    uint32_t cached_ = 0;
    uint32_t default_;
    bool known_ = false;
    bool alwaysAccess_;
};

// Reversible scrambling of a stored password over the alphabet a-z A-Z 0-9 and space with a
// fixed key; every other byte passes unchanged. Empty in, empty out.
std::string scramblePassword(const std::string& plain);
std::string unscramblePassword(const std::string& scrambled);

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
