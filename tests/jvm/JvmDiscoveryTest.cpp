#include <gtest/gtest.h>

#include "common/Text.h"
#include "jvm/JvmDiscovery.h"
#include "jvm/JvmStartFailure.h"
#include "resource.h"
#include "tests/support/standin-jvm/StandinJvm.h"

using namespace ornivel;
using namespace ornivel::test;

TEST(JvmDiscovery, ClientLibraryIsPreferredToServerLibrary) {
    TempFolder installation;
    std::wstring server = standin::install(installation, standin::Flavour::Server);
    EXPECT_EQ(findJvmLibrary(installation.path()), server);
    std::wstring client = standin::install(installation, standin::Flavour::Client);
    EXPECT_EQ(findJvmLibrary(installation.path()), client);
    EXPECT_EQ(client, installation.path() + L"java_17.0.1\\bin\\client\\jvm.dll");
}

TEST(JvmDiscovery, RegisteredRuntimeIsTheFallback) {
    TempFolder installation;
    TempFolder elsewhere(L"jre");
    const std::wstring library = elsewhere / L"bin\\client\\jvm.dll";
    standin::installAt(library);
    EXPECT_EQ(findJvmLibrary(installation.path()), L"");
    {
        standin::RegisteredRuntime registered(L"17.0", library);
        EXPECT_EQ(findRegisteredJvm(), library);
        EXPECT_EQ(findJvmLibrary(installation.path()), library);
        // The installation's own runtime still comes first.
        std::wstring own = standin::install(installation);
        EXPECT_EQ(findJvmLibrary(installation.path()), own);
    }
    EXPECT_EQ(findRegisteredJvm(), L"");
}

TEST(JvmDiscovery, IncompleteRegistrationFindsNothing) {
    TempFolder installation;
    // CurrentVersion names a version without a key of its own.
    standin::RegisteredRuntime registered(L"17.0", L"C:\\nowhere\\jvm.dll");
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\JavaSoft\\Java Runtime Environment", 0, KEY_ALL_ACCESS, &key),
              ERROR_SUCCESS);
    const wchar_t other[] = L"1.8";
    RegSetValueExW(key, L"CurrentVersion", 0, REG_SZ, reinterpret_cast<const BYTE*>(other), sizeof other);
    RegCloseKey(key);
    EXPECT_EQ(findRegisteredJvm(), L"");
    EXPECT_EQ(findJvmLibrary(installation.path()), L"");
}

TEST(JvmDiscovery, AFolderNamedLikeTheLibraryIsNoRuntime) {
    TempFolder installation;
    installation.makeFolder(L"java_17.0.1\\bin\\client\\jvm.dll");
    EXPECT_EQ(findJvmLibrary(installation.path()), L"");
}

// Java reads paths in the ANSI code page (1252 in the test prefix) and splits path lists at
// ";": folders that fault either way are handed over in their short form.
TEST(JavaPaths, FoldersJavaCannotReadAsTheyAreGoInTheirShortForm) {
    if (GetACP() != 1252) GTEST_SKIP() << "needs the ANSI code page 1252";
    TempFolder base(L"paths");
    EXPECT_EQ(javaReadablePath(base.path()), base.path());
    std::string text;
    EXPECT_TRUE(javaOptionText(L"-Dx=C:\\Caf\x00e9", text));
    EXPECT_EQ(text, "-Dx=C:\\Caf\xe9");
    // No best-fit look-alike: "\u0142" would become the "l" of another folder.
    EXPECT_FALSE(javaOptionText(L"C:\\Zak\u0142ad", text));
    EXPECT_EQ(text, "C:\\Zak?ad");

    for (const wchar_t* name : {L"Zak\u0142ad", L"a;b", L"Zak\u0142ad;x"}) {
        base.makeFolder(name);
        const std::wstring folder = base / name + L"\\";
        const std::wstring readable = javaReadablePath(folder);
        ASSERT_FALSE(readable.empty()) << toUtf8(folder);
        EXPECT_NE(readable, folder);
        EXPECT_EQ(readable.find(L';'), std::wstring::npos) << toUtf8(readable);
        EXPECT_TRUE(javaOptionText(readable, text)) << toUtf8(readable);
        // The same folder: what is written through the one path is read through the other.
        writeFileBytes(readable + L"probe.txt", "same");
        EXPECT_EQ(readFileBytes(folder + L"probe.txt"), "same");
    }
    // Without the folder there is no short form to be had.
    EXPECT_EQ(javaReadablePath(base / L"Zak\u0142ad\\missing\u0142"), L"");
}

TEST(JvmStartFailure, StartCodesMapToTheirStrings) {
    EXPECT_EQ(jvmStartCodeStringId(0), static_cast<UINT>(IDS_JNI_OK));
    EXPECT_EQ(jvmStartCodeStringId(-1), static_cast<UINT>(IDS_JNI_ERR));
    EXPECT_EQ(jvmStartCodeStringId(-4), static_cast<UINT>(IDS_JNI_ENOMEM));
    EXPECT_EQ(jvmStartCodeStringId(-6), static_cast<UINT>(IDS_JNI_EINVAL));
    EXPECT_EQ(jvmStartCodeStringId(-7), 0u);
    EXPECT_EQ(jvmStartCodeStringId(1), 0u);
}

TEST(JvmStartFailure, OtherExceptionsAreLeftToOtherHandlers) {
    EXCEPTION_RECORD record{};
    EXCEPTION_POINTERS pointers{&record, nullptr};
    // Continuable, even with a JNI code.
    record.ExceptionCode = static_cast<DWORD>(-4);
    record.ExceptionFlags = 0;
    EXPECT_EQ(jvmStartFailureHandler(&pointers), EXCEPTION_CONTINUE_SEARCH);
    // Non-continuable, but the low 16 bits are no JNI result.
    record.ExceptionFlags = EXCEPTION_NONCONTINUABLE;
    record.ExceptionCode = 0xE0001234;
    EXPECT_EQ(jvmStartFailureHandler(&pointers), EXCEPTION_CONTINUE_SEARCH);
    record.ExceptionCode = 0xC0000005;
    EXPECT_EQ(jvmStartFailureHandler(&pointers), EXCEPTION_CONTINUE_SEARCH);
}
