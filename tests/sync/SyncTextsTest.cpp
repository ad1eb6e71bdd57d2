// The texts and paths of a synchronisation run that are pure logic: the restart script and
// its parameters, the extraction tool's command line, paths, the final message.
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
    EXPECT_EQ(restartParameters(L".\\ornivel.exe", L".\\ornivel.tmp", L"-aussendienst"),
              L"\".\\ornivel.exe\" \".\\ornivel.tmp\" -aussendienst > \"%ORNIVEL_RESTART_FOLDER%log\\copyrun.log\" "
              L"2>&1");
    EXPECT_EQ(restartParameters(L".\\ornivel.exe", L".\\ornivel.tmp", L""),
              L"\".\\ornivel.exe\" \".\\ornivel.tmp\"  > \"%ORNIVEL_RESTART_FOLDER%log\\copyrun.log\" 2>&1");
    EXPECT_EQ(restartCommandLine(L"\"x\" > log"),
              L"cmd.exe /d /e:on /v:off /s /c \"\"%ORNIVEL_RESTART_FOLDER%copyrun.bat\" \"x\" > log\"");
    // The folder's own path never stands in the command text.
    EXPECT_EQ(pathInFolder(L"C:\\Users\\J\u00fcrgen\\Firma & Co\\ORNIVEL.exe", L"c:\\users\\j\u00fcrgen\\firma & co"),
              L".\\ORNIVEL.exe");
    EXPECT_EQ(pathInFolder(L"C:\\inst\\bin\\ornivel.exe", L"C:\\inst\\"), L".\\bin\\ornivel.exe");
    EXPECT_EQ(pathInFolder(L"D:\\other\\ornivel.exe", L"C:\\inst"), L"D:\\other\\ornivel.exe");
    // The pause is the system's ping by its full path.
    EXPECT_NE(std::string(kCopyRunScript).find("\t\"%ORNIVEL_RESTART_PING%\" -n 2 127.0.0.1 > NUL\r\n"),
              std::string::npos);
}

TEST(RestartScript, WrittenThroughATextModeStream) {
    test::TempFolder folder(L"script");
    ASSERT_TRUE(writeRestartScript(folder / L"copyrun.bat"));
    std::string bytes = folder.read(L"copyrun.bat");
    std::string expected;  // every line end doubled in its CR
    for (const char* p = kCopyRunScript; *p; ++p) {
        if (*p == '\n') expected += '\r';
        expected += *p;
    }
    EXPECT_EQ(bytes, expected);
    EXPECT_NE(bytes.find("\r\r\n\tmove /Y %2 %1\r\r\n\r\r\n\tif NOT EXIST %2 goto :next\r\r\n"), std::string::npos);
}

TEST(LocalPaths, ExtensionAndJoin) {
    EXPECT_EQ(withExtension(L"C:\\inst\\ornivel.exe", L".tmp"), L"C:\\inst\\ornivel.tmp");
    EXPECT_EQ(withExtension(L"C:\\in.st\\ornivel", L".tmp"), L"C:\\in.st\\ornivel.tmp");
    EXPECT_EQ(withExtension(L"C:\\inst\\a.b.exe", L".tmp"), L"C:\\inst\\a.b.tmp");
    EXPECT_EQ(joinLocalPath(L"C:\\inst", L"x"), L"C:\\inst\\x");
    EXPECT_EQ(joinLocalPath(L"C:\\inst\\", L"x"), L"C:\\inst\\x");
    EXPECT_EQ(joinLocalPath(L"C:/inst/", L"x"), L"C:/inst/x");
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
    EXPECT_EQ(arguments, L"x -inul \"C:\\inst\\system\\gs.rar\" \"C:\\inst\\system\\\\\"");
    auto parsed = extract::parseToolCommandLine(L"C:\\inst\\unrar.exe " + arguments);
    ASSERT_TRUE(parsed);
    EXPECT_TRUE(parsed->quiet);
    EXPECT_EQ(parsed->archive, L"C:\\inst\\system\\gs.rar");
    EXPECT_EQ(parsed->target, L"C:\\inst\\system\\");

    const std::wstring folder = L"C:\\Users\\J\u00fcrgen\\Firma J\u00fcrgen & Co (Test) 100% !x\\";
    auto everyday = extract::parseToolCommandLine(L"\"" + folder + L"unrar.exe\" " +
                                                  extractionArguments(folder + L"system\\gs.rar", folder + L"system\\gs.unpack\\"));
    ASSERT_TRUE(everyday);
    EXPECT_EQ(everyday->archive, folder + L"system\\gs.rar");
    EXPECT_EQ(everyday->target, folder + L"system\\gs.unpack\\");

    auto spaced = extract::parseToolCommandLine(L"\"C:\\my inst\\unrar.exe\" x \"C:\\my inst\\a.rar\" C:\\out");
    ASSERT_TRUE(spaced);
    EXPECT_FALSE(spaced->quiet);
    EXPECT_EQ(spaced->archive, L"C:\\my inst\\a.rar");
    EXPECT_EQ(spaced->target, L"C:\\out\\");

    EXPECT_FALSE(extract::parseToolCommandLine(L"unrar.exe e a.rar out"));
    EXPECT_FALSE(extract::parseToolCommandLine(L"unrar.exe x -inul a.rar"));
    EXPECT_FALSE(extract::parseToolCommandLine(L"unrar.exe x a.rar out extra"));
}


} // namespace
} // namespace ornivel
