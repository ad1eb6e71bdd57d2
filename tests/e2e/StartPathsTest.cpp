// The other courses of a start of the real launcher: the modes without login form, a failed
// synchronisation, leaving the dialog, and the out-of-memory end.
#include <gtest/gtest.h>

#include "common/Text.h"
#include "res/resource.h"
#include "tests/e2e/E2eSupport.h"
#include "tests/support/windows/Screenshot.h"
#include "tests/support/windows/WindowDriver.h"

namespace ornivel {
namespace {

using namespace test;
using namespace test::e2e;
using standin::Record;
using standin::Scenario;

// A client without window that ends soon.
Scenario quietClient() {
    Scenario scenario;
    scenario.window = false;
    scenario.clientMs = 100;
    return scenario;
}

size_t callsOf(const Record& record, const std::string& method) {
    size_t calls = 0;
    for (const auto& line : record.all("call"))
        if (line.size() > 2 && line[2] == method) ++calls;
    return calls;
}

class EndToEndPaths : public ::testing::Test {
protected:
    TempFolder inst{L"e2e-path"};
    StoredValues stored{inst};
    LauncherRun launcher{inst};

    void SetUp() override { standin::install(inst); }
};

TEST_F(EndToEndPaths, FieldServiceWithoutServerFileStartsAdmAtOnce) {
    standin::writeScenario(inst, quietClient());
    ProcessResult run = launcher.run(L"AUSSENDIENST");
    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(run.status(), 1);

    const std::string log = launcher.logText();
    EXPECT_NE(log.find("| debug   | Could not find Server file " + toUtf8(inst.path()) + "ornivel-Server.dat. "),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("| info    | Error adapting client checksum. Error: "), std::string::npos) << log;
    EXPECT_EQ(log.find("Server URL is"), std::string::npos) << "no version check";
    EXPECT_EQ(log.find("| fatal"), std::string::npos) << log;

    Record record = Record::read(inst);
    EXPECT_EQ(record.mainClass(), "de/torbenwald/zolp/adm/Adm");
    EXPECT_TRUE(record.mainArguments().empty());
    EXPECT_EQ(callsOf(record, "getError"), 0u) << "no login form in field service";
    EXPECT_TRUE(record.loginRecords().empty());
    EXPECT_LT(record.indexOf("client-end"), record.indexOf("destroy-end"));
    EXPECT_TRUE(record.errors().empty()) << record.text();
    bool saved = true;
    stored.string(L"deployment", &saved);
    EXPECT_FALSE(saved);
}

TEST_F(EndToEndPaths, SiblingClientAfterAnUpToDateCheckStartsItsLauncher) {
    standin::writeScenario(inst, quietClient());
    TestDeploymentServer server;
    server.writeServerFile(inst.path());
    answerVersionCheck(server, inst.path(), "OK");
    ProcessResult run = launcher.run(L"-singus");
    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(run.status(), 1);

    const std::string log = launcher.logText();
    EXPECT_NE(log.find("| info    | Version checksum is OK. No synchronisation necessary."), std::string::npos) << log;
    Record record = Record::read(inst);
    EXPECT_EQ(record.mainClass(), "de/torbenwald/fennarix/client/Launcher");
    EXPECT_TRUE(record.mainArguments().empty());
    EXPECT_EQ(callsOf(record, "getError"), 0u);
    EXPECT_TRUE(record.has("destroy-end"));
    EXPECT_EQ(record.environment("versionString"), checksumOf(inst.path()));
    EXPECT_FALSE(inst.exists(L"TarnFileList.xml")) << "an up-to-date installation is not touched";
    const std::vector<std::string> targets = server.requestTargets();
    ASSERT_EQ(targets.size(), 1u);
    EXPECT_EQ(targets[0], "/check/clientChecksum%3d" + checksumOf(inst.path()));
}

TEST_F(EndToEndPaths, FailedSynchronisationReportsAndEndsWithoutJava) {
    TestDeploymentServer server;
    server.writeServerFile(inst.path());
    answerVersionCheck(server, inst.path(), "ERROR");
    ChildProcess process(launcher.installLauncher(), L"", inst.path());
    ASSERT_TRUE(process.started());

    HWND box = waitForMessageBox(process.id(), 20000);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(messageBoxText(box),
              L"An error occured while retrieving automatic updates: \r\nAdapting client checksum failed.\r\n\r\n"
              L"See log file for details.");
    Sleep(200);
    saveScreenshot(nullptr, screenshotPath(L"e2e-sync-failure"));
    DWORD code = 0;
    EXPECT_FALSE(process.waitForExit(300, code)) << "the box waits for the user";
    answerMessageBox(box, IDOK);
    ASSERT_TRUE(process.waitForExit(15000, code));
    EXPECT_EQ(code, 1u);
    EXPECT_FALSE(inst.exists(fromUtf8(standin::kRecordFile))) << "no Java after a failed synchronisation";
    const std::string log = launcher.logText();
    EXPECT_NE(log.find("| info    | Error adapting client checksum."), std::string::npos) << log;
    EXPECT_NE(log.find("| fatal   | An error occured while retrieving automatic updates: "), std::string::npos) << log;
}

TEST_F(EndToEndPaths, CancelOnTheSecondAttemptEndsWithMinusOneWhileTheClientRuns) {
    Scenario scenario = quietClient();
    scenario.outcomes = {"IOException"};
    standin::writeScenario(inst, scenario);
    inst.write(L"system\\config\\server.ini", "srv01|8080|Production\r\n");
    ChildProcess process(launcher.installLauncher(), L"-noupdate", inst.path());
    HWND dialog = waitForLoginDialog(process.id());
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(waitForLoginForm(dialog));
    logIn(dialog, L"anna", L"", false);
    ASSERT_TRUE(waitUntil([&] { return Record::read(inst).has("outcome"); }, 15000));
    ASSERT_TRUE(waitForLoginForm(dialog));

    clickButton(dialog, IDC_LOGIN_CANCEL);
    DWORD code = 0;
    ASSERT_TRUE(process.waitForExit(15000, code));
    EXPECT_TRUE(isMinusOne(code)) << code;
    Record record = Record::read(inst);
    // The empty password is digested like any other.
    EXPECT_EQ(record.loginRecords(),
              (std::vector<std::string>{loginRecord("0061006e006e0061", "d41d8cd98f00b204e9800998ecf8427e", "srv01", 8080,
                                                    L"Production", -1)}));
    EXPECT_TRUE(record.has("client-start"));
    EXPECT_FALSE(record.has("client-end")) << "the client was still waiting for the next login";
    EXPECT_FALSE(record.has("destroy-begin"));
}

TEST_F(EndToEndPaths, ClosingTheDialogWhileSynchronisingEndsWithMinusOne) {
    standin::writeScenario(inst, quietClient());
    TestDeploymentServer server;
    server.writeServerFile(inst.path());
    answerVersionCheck(server, inst.path(), "OK", 4.0);
    ChildProcess process(launcher.installLauncher(), L"", inst.path());
    HWND dialog = waitForLoginDialog(process.id());
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(waitUntil([&] { return controlText(dialog, IDC_STATUS_TEXT) == L"Contacting Server..."; }, 15000));
    EXPECT_FALSE(controlVisible(dialog, IDC_LOGIN_CANCEL));

    pressAltF4(dialog);
    DWORD code = 0;
    ASSERT_TRUE(process.waitForExit(3000, code)) << "ends before the version check answers";
    EXPECT_TRUE(isMinusOne(code)) << code;
    EXPECT_FALSE(inst.exists(fromUtf8(standin::kRecordFile)));
}

TEST_F(EndToEndPaths, HeapDumpWhileTheLoginFormWaitsEndsWithZero) {
    Scenario scenario = quietClient();
    scenario.outcomes = {"never"};
    standin::writeScenario(inst, scenario);
    ChildProcess process(launcher.installLauncher(), L"-noupdate", inst.path());
    HWND dialog = waitForLoginDialog(process.id());
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(waitForLoginForm(dialog));
    // Another process's dump is none of this launcher's business.
    inst.write(formatWide(L"java_pid%lu.hprof", process.id() + 4), "JAVA PROFILE 1.0.2");
    DWORD code = 0;
    EXPECT_EQ(waitForMessageBox(process.id(), 1500), nullptr);

    inst.write(formatWide(L"java_pid%lu.hprof", process.id()), "JAVA PROFILE 1.0.2");
    HWND box = waitForMessageBox(process.id(), 5000);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(windowText(box), L"Out Of Memory");
    EXPECT_EQ(messageBoxText(box), L"Ornivel has run out of memory. Press OK to terminate.");
    EXPECT_TRUE(controlVisible(dialog, IDC_USER_ID)) << "the form stays while the box asks";
    answerMessageBox(box, IDOK);
    ASSERT_TRUE(process.waitForExit(5000, code));
    EXPECT_EQ(code, 0u);
    EXPECT_TRUE(inst.exists(formatWide(L"java_pid%lu.hprof", process.id()))) << "the dump stays";
}

// Update-only runs, as software distribution starts them: the synchronisation of a normal
// start, no window at any moment, never Java, and an exit code and a status value per outcome.
TEST_F(EndToEndPaths, UpdateOnlyRunsEndWithTheirResultAndNoWindow) {
    TestDeploymentServer server;
    const std::wstring statusKey = L"Software\\Torbenwald\\ornivel\\status\\" + stored.name();
    const auto updateOnly = [&](DWORD expected, const char* what) {
        SCOPED_TRACE(what);
        ChildProcess process(launcher.installLauncher(), L"-updateonly", inst.path());
        ASSERT_TRUE(process.started());
        DWORD exitCode = 0;
        bool windowSeen = false;
        // The process is watched until it ends: no top-level window of it may appear.
        while (!process.waitForExit(20, exitCode))
            windowSeen = windowSeen || findWindow({L"", L"", process.id(), nullptr, false}) != nullptr;
        EXPECT_EQ(exitCode, expected) << launcher.logText();
        EXPECT_FALSE(windowSeen);
        EXPECT_FALSE(inst.exists(fromUtf8(standin::kRecordFile))) << "no Java";
        DWORD result = 0, size = sizeof result;
        EXPECT_EQ(RegGetValueW(HKEY_CURRENT_USER, statusKey.c_str(), L"LastResult", RRF_RT_REG_DWORD, nullptr, &result,
                               &size), ERROR_SUCCESS);
        EXPECT_EQ(result, expected);
    };
    updateOnly(50, "no server file and no saved answer");
    test::writeFileBytes(inst / L"ornivel-Server.dat", "http://127.0.0.1:9/check");
    updateOnly(20, "no version check");

    server.putFile(L"module\\app.jar", "application module");
    server.putFile(L"lib\\data.txt", "data");
    server.publish();
    server.writeServerFile(inst.path());
    server.withdrawFileList();
    answerVersionCheck(server, inst.path(), server.serverRecord("http"));
    updateOnly(21, "no file list");
    server.corruptFile(L"TarnFileList.xml", "<FileList><File Path=\"..\\evil.dll\"/></FileList>");
    updateOnly(30, "an unsafe list");
    server.http().clear();
    server.publish();
    server.http().serveFolder("/deploy/", server.folder());
    server.failFile(L"lib\\data.txt");
    answerVersionCheck(server, inst.path(), server.serverRecord("http"));
    updateOnly(40, "a file fails");
    server.http().clear();
    server.http().serveFolder("/deploy/", server.folder());
    server.http().routePrefix("/check/clientChecksum%3d", {HttpAnswer::ok("OK")});
    updateOnly(0, "finished although the check answers OK");
    EXPECT_EQ(inst.read(L"lib\\data.txt"), "data");
    std::wstring lastRun(64, L'\0'), lastSuccess(64, L'\0'), id(64, L'\0');
    DWORD size = 128;
    EXPECT_EQ(RegGetValueW(HKEY_CURRENT_USER, statusKey.c_str(), L"LastSuccess", RRF_RT_REG_SZ, nullptr,
                           lastSuccess.data(), &size), ERROR_SUCCESS);
    size = 128;
    RegGetValueW(HKEY_CURRENT_USER, statusKey.c_str(), L"LastRun", RRF_RT_REG_SZ, nullptr, lastRun.data(), &size);
    EXPECT_EQ(std::wstring(lastSuccess.c_str()), std::wstring(lastRun.c_str()));
    EXPECT_EQ(lastSuccess.c_str()[10], L'T');
    size = 128;
    RegGetValueW(HKEY_CURRENT_USER, statusKey.c_str(), L"InstallationId", RRF_RT_REG_SZ, nullptr, id.data(), &size);
    EXPECT_EQ(std::wstring(id.c_str()).size(), 38u) << "a GUID made once";
    updateOnly(0, "current");

    // A new launcher: the run ends for the restart, and the new launcher finishes it, as an
    // update-only run again.
    const std::string newLauncher = inst.read(L"ornivel.exe") + std::string("\0new launcher build", 19);
    EndProcessesOnExit cleanup(inst / L"ornivel.exe");
    server.putFile(L"ornivel.exe", newLauncher);
    server.publish();
    server.http().routePrefix("/check/clientChecksum%3d", {HttpAnswer::ok(server.serverRecord("http"))});
    updateOnly(10, "the launcher replaces itself");
    // The restart script retries its move for up to ten seconds, and under a loaded Wine
    // (the suite runs its programs side by side) the new launcher's own start can take as long.
    ASSERT_TRUE(waitUntil([&] {
        return inst.read(L"ornivel.exe") == newLauncher && processesOf(inst / L"ornivel.exe").empty() &&
               launcher.logText().find("Update result 0.") != std::string::npos;
    }, 90000)) << launcher.logText() << test::readFileBytes(inst / L"log\\copyrun.log");
    EXPECT_FALSE(inst.exists(L"TarnFileList.unfinished"));
}

} // namespace
} // namespace ornivel
