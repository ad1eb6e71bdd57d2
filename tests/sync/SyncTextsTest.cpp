// The texts and paths of a synchronisation run that are pure logic: the restart script and
// its parameters, the extraction tool's command line, path checks, the final message.
#include <gtest/gtest.h>

#include <cstring>

#include "ToolCommandLine.h"
#include "sync/GhostscriptUnpacker.h"
#include "sync/LocalPaths.h"
#include "sync/OrnivelSynchronizer.h"
#include "sync/RestartScript.h"
#include "tests/support/TestSupport.h"

namespace ornivel {
namespace {

TEST(RestartScript, TextAndParameters) {
    EXPECT_EQ(std::strlen(kCopyRunScript), 208u);
    EXPECT_EQ(restartParameters(L"C:\\a\\ornivel.exe", L"C:\\a\\ornivel.tmp", L"-aussendienst"),
              L"\"C:\\a\\ornivel.exe\" \"C:\\a\\ornivel.tmp\" -aussendienst > log\\copyrun.log");
    EXPECT_EQ(restartParameters(L"C:\\a\\ornivel.exe", L"C:\\a\\ornivel.tmp", L""),
              L"\"C:\\a\\ornivel.exe\" \"C:\\a\\ornivel.tmp\"  > log\\copyrun.log");
}

TEST(RestartScript, WrittenThroughATextModeStream) {
    test::TempFolder folder(L"script");
    ASSERT_TRUE(writeRestartScript(folder / L"copyrun.bat"));
    std::string bytes = folder.read(L"copyrun.bat");
    EXPECT_EQ(bytes.size(), 223u);  // 208 bytes, every one of the 15 line ends doubled in its CR
    std::string expected;
    for (const char* p = kCopyRunScript; *p; ++p) {
        if (*p == '\n') expected += '\r';
        expected += *p;
    }
    EXPECT_EQ(bytes, expected);
    EXPECT_EQ(bytes.substr(0, 19), "set /a timer = 0\r\r\n");
    EXPECT_NE(bytes.find("\r\r\n\tmove /Y %2 %1\r\r\n\t%1 %3\r\r\n"), std::string::npos);
}

TEST(LocalPaths, ExtensionAndJoin) {
    EXPECT_EQ(withExtension(L"C:\\inst\\ornivel.exe", L".tmp"), L"C:\\inst\\ornivel.tmp");
    EXPECT_EQ(withExtension(L"C:\\in.st\\ornivel", L".tmp"), L"C:\\in.st\\ornivel.tmp");
    EXPECT_EQ(withExtension(L"C:\\inst\\a.b.exe", L".tmp"), L"C:\\inst\\a.b.tmp");
    EXPECT_EQ(joinLocalPath(L"C:\\inst", L"x"), L"C:\\inst\\x");
    EXPECT_EQ(joinLocalPath(L"C:\\inst\\", L"x"), L"C:\\inst\\x");
    EXPECT_EQ(joinLocalPath(L"C:/inst/", L"x"), L"C:/inst/x");
}

TEST(LocalPaths, ListPathsThatLeaveTheInstallation) {
    for (const wchar_t* bad : {L"", L"\\windows\\x.dll", L"/etc/x", L"C:\\x.dll", L"c:x.dll", L"\\\\server\\share\\x",
                               L"..\\x.jar", L"module\\..\\..\\x.jar", L"module/../../x", L"module\\..", L"a\\...\\b",
                               L"a\\.. \\b", L"file.txt:stream"}) {
        EXPECT_TRUE(escapesInstallation(bad)) << bad;
    }
    for (const wchar_t* good : {L"module\\a.jar", L"ornivel.exe", L"system\\gs.rar", L".\\module\\a.jar",
                                L"module\\..a.jar", L"module\\a..jar", L"my.dir\\x", L"system/jar/x.jar"}) {
        EXPECT_FALSE(escapesInstallation(good)) << good;
    }
}

TEST(FinalMessage, ReasonPerStep) {
    EXPECT_EQ(failureMessage(FAILURE_LOCAL_CONFIGURATION),
              L"An error occured while retrieving automatic updates: \r\nLoading of local configuration file "
              L"failed.\r\n\r\nSee log file for details.");
    EXPECT_STREQ(failureReason(FAILURE_CLIENT_CHECKSUM), L"Adapting client checksum failed.");
    EXPECT_STREQ(failureReason(FAILURE_FILE_LIST), L"Download of file list failed.");
    EXPECT_STREQ(failureReason(FAILURE_DELETING), L"Deleting of local unused files failed.");
    EXPECT_STREQ(failureReason(FAILURE_DOWNLOADING), L"Downloading files failed.");
}

TEST(ExtractionTool, CommandLineAsTheLauncherWritesIt) {
    std::wstring arguments = extractionArguments(L"C:\\inst\\system\\gs.rar", L"C:\\inst\\system\\");
    EXPECT_EQ(arguments, L"x -inul \"C:\\inst\\system\\gs.rar\" \"C:\\inst\\system\\\"");
    auto parsed = extract::parseToolCommandLine(L"C:\\inst\\unrar.exe " + arguments);
    ASSERT_TRUE(parsed);
    EXPECT_TRUE(parsed->quiet);
    EXPECT_EQ(parsed->archive, L"C:\\inst\\system\\gs.rar");
    EXPECT_EQ(parsed->target, L"C:\\inst\\system\\");

    auto spaced = extract::parseToolCommandLine(L"\"C:\\my inst\\unrar.exe\" x \"C:\\my inst\\a.rar\" C:\\out");
    ASSERT_TRUE(spaced);
    EXPECT_FALSE(spaced->quiet);
    EXPECT_EQ(spaced->archive, L"C:\\my inst\\a.rar");
    EXPECT_EQ(spaced->target, L"C:\\out\\");

    EXPECT_FALSE(extract::parseToolCommandLine(L"unrar.exe e a.rar out"));
    EXPECT_FALSE(extract::parseToolCommandLine(L"unrar.exe x -inul a.rar"));
    EXPECT_FALSE(extract::parseToolCommandLine(L"unrar.exe x a.rar out extra"));
}

TEST(ExtractionTool, EntriesStayInsideTheTarget) {
    EXPECT_EQ(extract::safeEntryPath(L"gs/bin/gs.dll").value_or(L"?"), L"gs\\bin\\gs.dll");
    EXPECT_EQ(extract::safeEntryPath(L"./gs//lib\\x").value_or(L"?"), L"gs\\lib\\x");
    for (const wchar_t* bad : {L"../x", L"gs/../../x", L"/etc/passwd", L"\\x", L"C:\\x", L"c:x", L"\\\\srv\\s\\x",
                               L"gs/.../x", L".", L"", L"a/. ./b"}) {
        EXPECT_FALSE(extract::safeEntryPath(bad)) << bad;
    }
}

} // namespace
} // namespace ornivel
