// Self-update for real: a program that runs the synchronisation is installed as ornivel.exe,
// the server lists a new ornivel.exe, and the restart script (run by Wine's cmd) replaces the
// executable after the program has ended and starts the new one with the restart arguments.
#include <gtest/gtest.h>

#include "common/Handles.h"
#include "common/Text.h"
#include "logdriver/LogDriver.h"
#include "sync/RestartScript.h"
#include "tests/support/TestSupport.h"
#include "tests/support/deployserver/TestDeploymentServer.h"
#include "tests/support/windows/WindowDriver.h"

namespace ornivel {
namespace {

using test::TempFolder;

TEST(SelfUpdate, TheScriptReplacesTheExecutableAndStartsItAgain) {
    TempFolder inst(test::kEverydayFolderName, test::everydayProfileFolder());
    const std::string runner = test::readFileBytes(test::windowsPathOf(ORNIVEL_SYNC_RUNNER));
    const std::string newVersion = test::readFileBytes(test::windowsPathOf(ORNIVEL_ARGS_RECORDER));
    ASSERT_FALSE(runner.empty());
    ASSERT_FALSE(newVersion.empty());
    inst.write(L"ornivel.exe", runner);

    test::TestDeploymentServer server;
    server.putFile(L"ornivel.exe", newVersion);
    server.putFile(L"module\\a.jar", "module a");
    server.publish();
    server.writeServerFile(inst.path());
    server.answerVersionCheck(inst.path(), server.serverRecord("http"));

    const std::wstring key = test::testRegistryKey(L"self") + L"\\";
    test::ProcessResult result = test::runProgram(inst / L"ornivel.exe", key + L" -aussendienst", inst.path());
    RegDeleteTreeW(HKEY_CURRENT_USER, test::testRegistryKey(L"self").c_str());
    ASSERT_TRUE(result.started);
    EXPECT_EQ(result.exitCode, 2u);  // the run returned false
    std::string log = inst.read(L"log\\launcher.log");
    EXPECT_NE(log.find("Using CopyRun for restart"), std::string::npos) << log;
    EXPECT_EQ(log.find("FATAL"), std::string::npos) << log;
    EXPECT_EQ(log.find("An error occured"), std::string::npos) << log;
    EXPECT_EQ(inst.read(L"TarnFileList.xml"), server.fileListText());  // replaced before the restart
    EXPECT_EQ(inst.read(L"module\\a.jar"), "module a");

    // The script waits for the old executable to go, moves the new one in and starts it.
    // The new version writes its command line in one piece once it has opened the file.
    test::waitUntil([&] { return inst.read(L"restarted.txt").find("-aussendienst") != std::string::npos; }, 30000);
    ASSERT_TRUE(inst.exists(L"restarted.txt")) << inst.read(L"log\\copyrun.log");
    std::string commandLine = inst.read(L"restarted.txt");
    EXPECT_NE(commandLine.find("ornivel.exe"), std::string::npos) << commandLine;
    EXPECT_NE(commandLine.find("-aussendienst"), std::string::npos) << commandLine;
    EXPECT_EQ(inst.read(L"ornivel.exe"), newVersion);
    EXPECT_FALSE(inst.exists(L"ornivel.tmp"));
    EXPECT_EQ(inst.read(L"copyrun.bat").size(), 213u);
    EXPECT_TRUE(inst.exists(L"log\\copyrun.log"));
}

TEST(SelfUpdate, ALauncherThatCannotBeReplacedIsKeptAndStarted) {
    TempFolder inst(test::kEverydayFolderName, test::everydayProfileFolder());
    const std::string old = test::readFileBytes(test::windowsPathOf(ORNIVEL_ARGS_RECORDER));
    inst.write(L"ornivel.exe", old);
    inst.write(L"ornivel.tmp", "a replacement that never gets its place");
    inst.makeFolder(L"log");
    // The launcher's file stays in use (as a launcher that does not end would hold it): every
    // move fails, and the old launcher must stay whole and start again.
    UniqueHandle inUse(CreateFileW((inst / L"ornivel.exe").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                   OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(inUse);
    LogDriver log(L"ornivel");
    startRestartScript(inst.path(), inst / L"ornivel.exe", L"-aussendienst", log);
    ASSERT_TRUE(test::waitUntil([&] { return inst.exists(L"restarted.txt"); }, 30000)) << inst.read(L"log\\copyrun.log");
    EXPECT_EQ(inst.read(L"ornivel.exe"), old);
    EXPECT_NE(inst.read(L"restarted.txt").find("-aussendienst"), std::string::npos);
}

TEST(SelfUpdate, ALaterFailedDownloadStartsNoScript) {
    TempFolder inst(L"self");
    inst.write(L"ornivel.exe", test::readFileBytes(test::windowsPathOf(ORNIVEL_SYNC_RUNNER)));
    test::TestDeploymentServer server;
    server.putFile(L"ornivel.exe", "a new launcher");
    server.putFile(L"zzz\\late.jar", "late");
    server.publish();
    server.failFile(L"zzz\\late.jar", 404);
    server.writeServerFile(inst.path());
    server.answerVersionCheck(inst.path(), server.serverRecord("http"));

    test::ProcessResult result =
        test::runProgram(inst / L"ornivel.exe", test::testRegistryKey(L"self2") + L"\\", inst.path());
    RegDeleteTreeW(HKEY_CURRENT_USER, test::testRegistryKey(L"self2").c_str());
    EXPECT_EQ(result.exitCode, 2u);
    std::string log = inst.read(L"log\\launcher.log");
    EXPECT_EQ(log.find("Using CopyRun for restart"), std::string::npos) << log;
    EXPECT_EQ(log.find("An error occured"), std::string::npos) << log;  // false without the message
    EXPECT_FALSE(inst.exists(L"copyrun.bat"));
    EXPECT_EQ(inst.read(L"ornivel.tmp"), "a new launcher");
    EXPECT_FALSE(inst.exists(L"TarnFileList.xml"));
}

} // namespace
} // namespace ornivel
