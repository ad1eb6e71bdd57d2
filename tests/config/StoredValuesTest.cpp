#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "common/Text.h"
#include "config/PasswordScrambling.h"
#include "config/StoredValues.h"
#include "tests/support/TestSupport.h"

namespace ornivel {
namespace {

using test::TempFolder;
using test::WorkingFolder;

const std::wstring kTestRoot = test::testRegistryKey(L"stored") + L"\\";

void removeTestKeys() { RegDeleteTreeW(HKEY_CURRENT_USER, test::testRegistryKey(L"stored").c_str()); }

// Counts the writes that reach the registry by watching the value's last change.
DWORD rawDword(const std::wstring& subKey) {
    DWORD value = 0, size = sizeof(value);
    if (RegGetValueW(HKEY_CURRENT_USER, subKey.c_str(), nullptr, RRF_RT_REG_DWORD, nullptr, &value, &size) !=
        ERROR_SUCCESS)
        return 0xFFFFFFFF;
    return value;
}

// The protected password value of a password key ("...\\installation\\"), empty when missing.
std::vector<BYTE> rawBinary(const std::wstring& path) {
    const std::wstring key = path.substr(0, path.size() - 1);
    DWORD size = 0;
    if (RegGetValueW(HKEY_CURRENT_USER, key.c_str(), kProtectedPasswordValue, RRF_RT_REG_BINARY, nullptr, nullptr,
                     &size) != ERROR_SUCCESS)
        return {};
    std::vector<BYTE> data(size);
    RegGetValueW(HKEY_CURRENT_USER, key.c_str(), kProtectedPasswordValue, RRF_RT_REG_BINARY, nullptr, data.data(),
                 &size);
    data.resize(size);
    return data;
}

void writeRawBinary(const std::wstring& path, const std::vector<BYTE>& data) {
    const std::wstring key = path.substr(0, path.size() - 1);
    RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), kProtectedPasswordValue, REG_BINARY, data.data(),
                    static_cast<DWORD>(data.size()));
}

bool defaultText(const std::wstring& path, std::wstring& text) {
    const std::wstring key = path.substr(0, path.size() - 1);
    wchar_t buffer[256] = {};
    DWORD size = sizeof(buffer);
    if (RegGetValueW(HKEY_CURRENT_USER, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, buffer, &size) != ERROR_SUCCESS)
        return false;
    text = buffer;
    return true;
}

// The typed password as UTF-16 bytes: never found in the stored value.
const std::string kTypedBytes(reinterpret_cast<const char*>(L"My Pass 42!"), 11 * sizeof(wchar_t));

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override { removeTestKeys(); }
    void TearDown() override { removeTestKeys(); }
};

TEST(InstallationName, LastComponentWithItsBackslash) {
    EXPECT_EQ(installationNameOf(L"C:\\Programs\\Client\\"), L"Client\\");
    EXPECT_EQ(installationNameOf(L"D:\\Apps\\Sales"), L"Sales\\");
    EXPECT_EQ(installationNameOf(L"C:\\"), L"C:\\");
    EXPECT_EQ(installationNameOf(L"C:/data/x/"), L"x/\\");
}

TEST(InstallationName, FollowsTheCurrentFolder) {
    TempFolder folder(L"Sales");
    folder.makeFolder(L"Client A");
    WorkingFolder cd(folder / L"Client A");
    EXPECT_EQ(installationName(), L"Client A\\");
}

TEST_F(RegistryTest, StringReadsDefaultWhenMissingAndWritesOnlyOnChange) {
    RegistryString value(kTestRoot + L"name", L"fallback");
    EXPECT_FALSE(value.known());
    EXPECT_EQ(value.get(), L"fallback");

    value.set(L"first");
    EXPECT_TRUE(value.known());
    RegistryString again(kTestRoot + L"name");
    EXPECT_EQ(again.get(), L"first");

    // Same text: nothing is written, so a change made behind the object's back survives.
    RegSetKeyValueW(HKEY_CURRENT_USER, (kTestRoot.substr(0, kTestRoot.size() - 1)).c_str(), L"name", REG_SZ,
                    L"outside", 16);
    value.set(L"first");
    EXPECT_EQ(RegistryString(kTestRoot + L"name").get(), L"outside");
    EXPECT_EQ(value.get(), L"first");  // cached
    EXPECT_EQ(value.read(), L"outside");
}

TEST_F(RegistryTest, TrailingBackslashSelectsTheDefaultValue) {
    RegistryString value(kTestRoot + L"Sales\\");
    value.set(L"user7");
    wchar_t data[64] = {};
    DWORD size = sizeof(data);
    ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, (kTestRoot + L"Sales").c_str(), nullptr, RRF_RT_REG_SZ, nullptr, data,
                           &size),
              ERROR_SUCCESS);
    EXPECT_STREQ(data, L"user7");
    EXPECT_EQ(size, 12u);  // the text with its terminating NUL
}

TEST_F(RegistryTest, EmptyTextAndMissingValueCountAsEqual) {
    RegistryString value(kTestRoot + L"empty\\");
    value.set(L"");
    HKEY key = nullptr;
    EXPECT_NE(RegOpenKeyExW(HKEY_CURRENT_USER, (kTestRoot + L"empty").c_str(), 0, KEY_READ, &key), ERROR_SUCCESS);
    if (key) RegCloseKey(key);

    RegistryDword number(kTestRoot + L"number\\");
    number.set(0);
    EXPECT_EQ(rawDword(kTestRoot + L"number"), 0xFFFFFFFFu);
    number.set(3);
    EXPECT_EQ(rawDword(kTestRoot + L"number"), 3u);
    EXPECT_EQ(RegistryDword(kTestRoot + L"number\\", 9).get(), 3u);
    EXPECT_EQ(RegistryDword(kTestRoot + L"missing\\", 9).get(), 9u);
}

TEST_F(RegistryTest, LoadAndSaveTheLoginOfThisInstallation) {
    TempFolder folder(L"login");
    folder.makeFolder(L"OrnivelStoreTest");
    WorkingFolder cd(folder / L"OrnivelStoreTest");
    const std::wstring name = L"OrnivelStoreTest\\";
    auto cleanup = [&] {
        for (const wchar_t* prefix : {kLastUserPrefix, kPasswordPrefix, kLastServerPrefix, kZolpLastUserPrefix})
            RegDeleteTreeW(HKEY_CURRENT_USER, (std::wstring(prefix) + L"OrnivelStoreTest").c_str());
    };
    cleanup();

    StoredLogin empty = loadStoredLogin(3);
    EXPECT_EQ(empty.userId, L"");
    EXPECT_EQ(empty.serverIndex, 0);
    EXPECT_FALSE(empty.savePassword);

    RegistryString(kZolpLastUserPrefix + name).set(L"olduser");
    EXPECT_EQ(loadStoredLogin(3).userId, L"olduser");

    saveStoredLogin(L"anna", 2, L"My Pass 42!");
    EXPECT_EQ(RegistryString(kLastUserPrefix + name).get(), L"anna");
    const std::vector<BYTE> sealed = rawBinary(kPasswordPrefix + name);
    EXPECT_FALSE(sealed.empty());
    EXPECT_EQ(std::search(sealed.begin(), sealed.end(), kTypedBytes.begin(), kTypedBytes.end()), sealed.end());
    saveStoredLogin(L"anna", 2, L"My Pass 42!");
    EXPECT_EQ(rawBinary(kPasswordPrefix + name), sealed);  // the same password is not written again
    StoredLogin loaded = loadStoredLogin(3);
    EXPECT_EQ(loaded.userId, L"anna");
    EXPECT_EQ(loaded.serverIndex, 2);
    EXPECT_EQ(loaded.password, L"My Pass 42!");
    EXPECT_TRUE(loaded.savePassword);

    EXPECT_EQ(loadStoredLogin(2).serverIndex, 0);  // index outside a shorter list

    saveStoredLogin(L"anna", 2, L"");
    StoredLogin unsaved = loadStoredLogin(3);
    EXPECT_EQ(unsaved.password, L"");
    EXPECT_FALSE(unsaved.savePassword);
    EXPECT_TRUE(rawBinary(kPasswordPrefix + name).empty());

    // A password an older launcher stored scrambled in the default value is read once, kept
    // protected and the old value removed.
    RegistryString(kPasswordPrefix + name).set(fromAnsi(scramblePassword("Old Pass 7")));
    EXPECT_EQ(loadStoredLogin(3).password, L"Old Pass 7");
    EXPECT_FALSE(rawBinary(kPasswordPrefix + name).empty());
    std::wstring scrambled;
    EXPECT_FALSE(defaultText(kPasswordPrefix + name, scrambled)) << "old value left: " << toUtf8(scrambled);
    EXPECT_EQ(loadStoredLogin(3).password, L"Old Pass 7");
    // Protected data that cannot be read back (another user's) counts as no password.
    writeRawBinary(kPasswordPrefix + name, {1, 2, 3});
    EXPECT_FALSE(loadStoredLogin(3).savePassword);
    cleanup();
}

} // namespace
} // namespace ornivel
