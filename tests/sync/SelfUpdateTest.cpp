// Self-update for real: a program that runs the synchronisation is installed as ornivel.exe,
// the server lists a new ornivel.exe, and the restart script (run by Wine's cmd) replaces the
// executable after the program has ended and starts the new one with the restart arguments.
// The new version is a stand-in that records its command line and current folder.
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

// Where installations lie: a local folder of a user profile, and a folder on a network share
// named by its UNC path, which the command interpreter refuses as its current folder. Both
// carry blanks, "&", "%", "!" and parentheses in their names.
class SelfUpdateIn : public testing::TestWithParam<bool> {};

TEST_P(SelfUpdateIn, TheScriptReplacesTheExecutableAndStartsItAgain) {
    const bool onShare = GetParam();
    TempFolder inst(test::kEverydayFolderName, onShare ? L"\\\\ornivel-test\\share\\" : test::everydayProfileFolder());
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

    const std::wstring keyName = onShare ? L"self-share" : L"self";
    // The program inherits the folder as its current folder (Wine starts no program in a UNC
    // folder named to CreateProcess, but keeps one it inherits). A program started from a UNC
    // path is named "UNC\..." by Wine's GetModuleFileNameW, so the one on the share is started
    // through Wine's drive Z:, as a mapped drive would name it.
    const std::wstring program =
        onShare ? test::windowsPathOf(test::unixPathOf(inst / L"ornivel.exe")) : inst / L"ornivel.exe";
    test::ProcessResult result;
    {
        test::WorkingFolder cd(inst.path());
        result = test::runProgram(program, test::testRegistryKey(keyName) + L"\\ -aussendienst", L"");
    }
    RegDeleteTreeW(HKEY_CURRENT_USER, test::testRegistryKey(keyName).c_str());
    ASSERT_TRUE(result.started);
    EXPECT_EQ(result.exitCode, 2u);  // the run returned false
    std::string log = inst.read(L"log\\launcher.log");
    EXPECT_NE(log.find("Using CopyRun for restart"), std::string::npos) << log;
    EXPECT_EQ(log.find("FATAL"), std::string::npos) << log;
    EXPECT_EQ(log.find("An error occured"), std::string::npos) << log;
    EXPECT_EQ(inst.read(L"TarnFileList.xml"), server.fileListText());  // replaced before the restart
    EXPECT_EQ(inst.read(L"module\\a.jar"), "module a");

    // The script waits for the old executable to go, moves the new one in and starts it in
    // the installation folder. The new version writes its record in one piece.
    auto record = [&] { return test::splitLines(inst.read(L"restarted.txt")); };
    ASSERT_TRUE(test::waitUntil([&] { return record().size() >= 2; }, 30000)) << inst.read(L"log\\copyrun.log");
    const std::vector<std::string> recorded = record();
    EXPECT_NE(recorded[0].find("ornivel.exe"), std::string::npos) << recorded[0];
    EXPECT_NE(recorded[0].find("-aussendienst"), std::string::npos) << recorded[0];
    EXPECT_EQ(recorded[1], toUtf8(inst.path()));  // its current folder, never a drive of its own
    EXPECT_EQ(inst.read(L"ornivel.exe"), newVersion);
    EXPECT_FALSE(inst.exists(L"ornivel.tmp"));
    EXPECT_TRUE(inst.exists(L"log\\copyrun.log"));
}

INSTANTIATE_TEST_SUITE_P(Installations, SelfUpdateIn, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& info) {
                             return info.param ? "OnAShare" : "InAProfile";
                         });

TEST(SelfUpdate, ALauncherThatCannotBeReplacedIsKeptAndStarted) {
    // The interpreter starts elsewhere, as it does where it refuses the installation folder
    // (a UNC path on Windows): the script enters the folder by name. (No "%" in this name:
    // Wine's interpreter drops it from a value it expands inside a script.)
    TempFolder inst(L"Firma J\u00fcrgen & Co (Test) !x!", test::everydayProfileFolder());
    const std::string old = test::readFileBytes(test::windowsPathOf(ORNIVEL_ARGS_RECORDER));
    inst.write(L"ornivel.exe", old);
    inst.write(L"ornivel.tmp", "a replacement that never gets its place");
    // The pause between the attempts is the system's ping, never one of the installation,
    // which is the interpreter's current folder then.
    inst.write(L"ping.bat", "echo planted> \"%~dp0pinged.txt\"\r\n");
    // The launcher's file stays in use (as a launcher that does not end would hold it): every
    // move fails, and the old launcher must stay whole and start again.
    UniqueHandle inUse(CreateFileW((inst / L"ornivel.exe").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                   OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(inUse);
    wchar_t windows[MAX_PATH];
    GetWindowsDirectoryW(windows, MAX_PATH);
    LogDriver log(L"ornivel");
    startRestartScriptFrom(windows, inst.path(), inst / L"ornivel.exe", L"-aussendienst", log);
    ASSERT_TRUE(test::waitUntil([&] { return test::splitLines(inst.read(L"restarted.txt")).size() >= 2; }, 30000))
        << inst.read(L"log\\copyrun.log");
    EXPECT_EQ(inst.read(L"ornivel.exe"), old);
    const std::vector<std::string> recorded = test::splitLines(inst.read(L"restarted.txt"));
    EXPECT_NE(recorded[0].find("-aussendienst"), std::string::npos);
    EXPECT_EQ(recorded[1], toUtf8(inst.path()));  // started in the installation folder
    EXPECT_FALSE(inst.exists(L"pinged.txt"));
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
