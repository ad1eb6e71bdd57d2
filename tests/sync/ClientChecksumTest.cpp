#include <gtest/gtest.h>

#include <windows.h>
#include <wincrypt.h>

#include <string>
#include <vector>

#include "logdriver/LogDriver.h"
#include "filelist/ModuleName.h"
#include "sync/OrnivelClient.h"
#include "tests/support/TestSupport.h"

namespace ornivel {
namespace {

// MD5 by Windows' own CryptoAPI, as an independent reference.
std::wstring cryptoApiMd5(const std::string& bytes) {
    HCRYPTPROV provider = 0;
    HCRYPTHASH hash = 0;
    BYTE value[16];
    DWORD length = sizeof value;
    bool ok = CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT) &&
              CryptCreateHash(provider, CALG_MD5, 0, 0, &hash) &&
              CryptHashData(hash, reinterpret_cast<const BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size()), 0) &&
              CryptGetHashParam(hash, HP_HASHVAL, value, &length, 0);
    if (hash) CryptDestroyHash(hash);
    if (provider) CryptReleaseContext(provider, 0);
    if (!ok) return L"cryptoapi failed";
    std::wstring hex;
    for (BYTE b : value) {
        hex += L"0123456789abcdef"[b >> 4];
        hex += L"0123456789abcdef"[b & 15];
    }
    return hex;
}

// Sub-folder names of a folder in the order the file system enumerates them.
std::vector<std::wstring> enumerationOrder(const std::wstring& directory) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((directory + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && data.cFileName[0] != L'.') names.push_back(data.cFileName);
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return names;
}

TEST(ModuleName, RemovesArchiveSuffixMarkerDigitsAndSeparators) {
    std::wstring name;
    ASSERT_TRUE(moduleName(L"module/core-lib-2.10.jar", name));
    EXPECT_EQ(name, L"corelib");
    ASSERT_TRUE(moduleName(L"module/ui", name));
    EXPECT_EQ(name, L"ui");
    ASSERT_TRUE(moduleName(L"system/jar/module-extra.jar", name));
    EXPECT_EQ(name, L"systemjarextra");
    ASSERT_TRUE(moduleName(L"module/x.jbn", name));
    EXPECT_EQ(name, L"xjbn");
    // Removal goes on after the removal point: a marker formed by a removal stays.
    ASSERT_TRUE(moduleName(L"module/mmoduleodule.jar", name));
    EXPECT_EQ(name, L"module");
    ASSERT_TRUE(moduleName(L"module\\a\\1.0.jar", name));
    EXPECT_EQ(name, L"a");
    EXPECT_FALSE(moduleName(L"system/jar/other.jar", name));
    EXPECT_FALSE(moduleName(L"Module/Other.jar", name));  // the marker is case-sensitive
}

TEST(FoldHash, FoldsFourUnitsAtATime) {
    EXPECT_EQ(foldHash(L""), L"0");
    EXPECT_EQ(foldHash(L"abcd"), L"64636261");
    EXPECT_EQ(foldHash(L"abcde"), L"64636204");
    EXPECT_EQ(foldHash(L"abcdabcd"), L"0");
    // Units above 255 overlap their neighbours.
    EXPECT_EQ(foldHash(L"\u0100"), L"100");
    EXPECT_EQ(foldHash(L"a\u0100"), L"10061");
    EXPECT_EQ(foldHash(L"\uffff\uffff\uffff\uffff"), L"ffffffff");
    EXPECT_EQ(checksumItem(-5, L"module/a.jar"), L"-5;module/a.jar");
}

class ClientChecksum : public ::testing::Test {
protected:
    void SetUp() override {
        log.addAppender(&appender);
        // Created out of sorted order; sizes chosen per file.
        install.write(L"module\\b-2.0.jar", std::string(5, 'b'));
        install.write(L"module\\0c.jbn", std::string(7, 'c'));
        install.write(L"module\\\u03a9-1.jar", std::string(9, 'o'));
        install.write(L"module\\a-1.0.jar", std::string(3, 'a'));
        install.write(L"module\\A-3.jar", std::string(300, 'A'));
        install.write(L"module\\Readme.txt", "not an archive");
        install.makeFolder(L"module\\ui-core");
        install.makeFolder(L"module\\tools2");
        install.makeFolder(L"module\\.hidden");
        install.write(L"system\\jar\\other.jar", std::string(11, 'x'));
        install.write(L"system\\jar\\module-extra.jar", std::string(13, 'e'));
        install.makeFolder(L"system\\jar\\modules");
    }

    // The checksum text written out by hand: names, folds of "size;entry" (computed outside
    // this program) and the prefix, as UTF-8.
    std::string expectedText() const {
        std::string text = "Quorn58";
        text += "A=65557b7e;a=51026d37;b=52026e31;\xCE\xA9=494f8d5c;cjbn=240c1c16;";
        for (const std::wstring& folder : enumerationOrder(install / L"module")) {
            if (folder == L"ui-core") text += "uicore=421a5418;";
            if (folder == L"tools2") text += "tools=655c4917;";
        }
        text += "systemjarextra=6372430d;systemjars=717d2436;";
        return text;
    }

    test::TempFolder install{L"client"};
    test::CapturingAppender appender;
    LogDriver log{L"test"};
};

TEST_F(ClientChecksum, MatchesTheHandBuiltText) {
    OrnivelClient client(install.path(), log);
    const std::wstring checksum = client.clientChecksum();
    EXPECT_EQ(checksum, cryptoApiMd5(expectedText()));

    EXPECT_TRUE(appender.has(LOG_DEBUG, L"Ornivel client in folder " + install.path()));
    EXPECT_TRUE(appender.has(LOG_DEBUG, L"Checking directory 'module/'"));
    EXPECT_TRUE(appender.has(LOG_DEBUG, L"Checking directory 'system/jar/'"));
    EXPECT_TRUE(appender.has(LOG_DEBUG, L"Added JAR File'module/ui-core'"));
    EXPECT_TRUE(appender.has(LOG_DEBUG, L"Added JAR File'system/jar/modules'"));
    EXPECT_TRUE(appender.has(LOG_DEBUG, L"Modulname: system/jar/other.jar"));
    EXPECT_TRUE(appender.has(LOG_DEBUG, L"Modulname: module/0c.jbn"));
    EXPECT_FALSE(appender.hasPrefix(LOG_DEBUG, L"Modulname: module/Readme"));
    EXPECT_FALSE(appender.hasPrefix(LOG_DEBUG, L"Added JAR File'module/.hidden"));
    EXPECT_TRUE(appender.has(LOG_DEBUG, L"MD5 is " + checksum));
}

TEST_F(ClientChecksum, FollowsModuleSizesButNotOtherArchives) {
    const std::wstring before = OrnivelClient(install.path(), log).clientChecksum();
    install.write(L"system\\jar\\other.jar", std::string(12, 'x'));
    EXPECT_EQ(OrnivelClient(install.path(), log).clientChecksum(), before);
    install.write(L"module\\a-1.0.jar", std::string(4, 'a'));
    EXPECT_NE(OrnivelClient(install.path(), log).clientChecksum(), before);
}

TEST_F(ClientChecksum, FolderWithoutTrailingSeparatorAndEmptyInstallation) {
    std::wstring folder = install.path();
    folder.pop_back();
    OrnivelClient client(folder, log);
    EXPECT_EQ(client.folder(), install.path());
    EXPECT_EQ(client.clientChecksum(), cryptoApiMd5(expectedText()));

    test::TempFolder empty{L"empty"};
    EXPECT_EQ(OrnivelClient(empty.path(), log).clientChecksum(), cryptoApiMd5("Quorn58"));
}

TEST_F(ClientChecksum, LauncherLogsTheSameChecksum) {
    // The entry publishes the checksum as versionString and logs it into log\launcher.log.
    test::LauncherRun launcher(install);
    test::ProcessResult result = launcher.run(L"aussendienst -noupdate", 30000);
    ASSERT_TRUE(result.started);
    const std::wstring wide = cryptoApiMd5(expectedText());
    const std::string line = "MD5 is " + std::string(wide.begin(), wide.end());
    bool found = false;
    for (const std::string& logLine : launcher.logLines())
        if (logLine.size() >= line.size() && logLine.compare(logLine.size() - line.size(), line.size(), line) == 0)
            found = true;
    EXPECT_TRUE(found) << launcher.logText();
}

} // namespace
} // namespace ornivel
