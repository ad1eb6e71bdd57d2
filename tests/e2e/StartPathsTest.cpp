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

    HWND box = waitForBox(process.id(), 20000);
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
    EXPECT_EQ(waitForBox(process.id(), 1500), nullptr);

    inst.write(formatWide(L"java_pid%lu.hprof", process.id()), "JAVA PROFILE 1.0.2");
    HWND box = waitForBox(process.id(), 5000);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(windowText(box), L"Out Of Memory");
    EXPECT_EQ(messageBoxText(box), L"Ornivel has run out of memory. Press OK to terminate.");
    EXPECT_TRUE(controlVisible(dialog, IDC_USER_ID)) << "the form stays while the box asks";
    answerMessageBox(box, IDOK);
    ASSERT_TRUE(process.waitForExit(5000, code));
    EXPECT_EQ(code, 0u);
    EXPECT_TRUE(inst.exists(formatWide(L"java_pid%lu.hprof", process.id()))) << "the dump stays";
}

} // namespace
} // namespace ornivel
