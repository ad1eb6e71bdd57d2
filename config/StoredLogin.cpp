#include "config/StoredValues.h"

#include "common/Text.h"

namespace ornivel {

const wchar_t* const kLastUserPrefix = L"Software\\Torbenwald\\ornivel\\lastUser\\";
const wchar_t* const kPasswordPrefix = L"Software\\Torbenwald\\ornivel\\password\\";
const wchar_t* const kLastServerPrefix = L"Software\\Torbenwald\\ornivel\\lastServer\\";
const wchar_t* const kZolpLastUserPrefix = L"Software\\Torbenwald\\ZOLP\\lastUser\\";
const wchar_t* const kDeploymentPrefix = L"Software\\Torbenwald\\ornivel\\deployment\\";

namespace {

bool isSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// The dialog's user id field holds at most this many characters.
constexpr size_t kUserIdLimit = 1023;

} // namespace

std::wstring installationNameOf(std::wstring folder) {
    if (folder.empty() || folder.back() != L'\\') folder += L'\\';
    size_t end = folder.size();
    while (end > 0 && isSeparator(folder[end - 1])) --end;
    size_t start = end;
    while (start > 0 && !isSeparator(folder[start - 1])) --start;
    // A drive root ("C:\") has no separator before its name: the whole text is the name.
    return folder.substr(start);
}

std::wstring installationName() { return installationNameOf(currentFolder()); }

StoredLogin loadStoredLogin(int serverCount) {
    const std::wstring name = installationName();
    RegistryString lastUser(kLastUserPrefix + name);
    RegistryDword lastServer(kLastServerPrefix + name);

    StoredLogin stored;
    if (lastUser.read().empty()) {
        RegistryString olderLastUser(kZolpLastUserPrefix + name);
        stored.userId = olderLastUser.get();
    } else {
        stored.userId = lastUser.get();
    }
    uint32_t index = lastServer.get();
    stored.serverIndex = (serverCount > 0 && index < static_cast<uint32_t>(serverCount)) ? static_cast<int>(index) : 0;
    stored.password = loadStoredPassword(kPasswordPrefix + name);
    stored.savePassword = !stored.password.empty();
    return stored;
}

void saveStoredLogin(const std::wstring& userId, int serverIndex, const std::wstring& passwordOrEmpty) {
    const std::wstring name = installationName();
    RegistryString lastUser(kLastUserPrefix + name);
    RegistryDword lastServer(kLastServerPrefix + name);

    lastUser.set(userId.substr(0, kUserIdLimit));
    lastServer.set(static_cast<uint32_t>(serverIndex));
    saveStoredPassword(kPasswordPrefix + name, passwordOrEmpty);
}

} // namespace ornivel
