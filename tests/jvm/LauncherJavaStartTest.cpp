// The launcher's Java start end to end: ornivel.exe in a temporary installation with the
// stand-in runtime.
#include <gtest/gtest.h>

#include <cctype>

#include "common/Text.h"
#include "tests/support/TestSupport.h"
#include "tests/support/standin-jvm/StandinJvm.h"
#include "tests/support/windows/ChildProcess.h"
#include "tests/support/windows/WindowDriver.h"

using namespace ornivel;
using namespace ornivel::test;
using standin::Record;
using standin::Scenario;

namespace {

// A quiet client: no window, ends soon.
Scenario quickClient() {
    Scenario scenario;
    scenario.window = false;
    scenario.clientMs = 50;
    return scenario;
}

// Runs the launcher with `arguments` in `installation`, the stand-in runtime installed with a
// quiet client.
ProcessResult runWithQuietClient(const TempFolder& installation, LauncherRun& launcher, const std::wstring& arguments) {
    standin::install(installation);
    standin::writeScenario(installation, quickClient());
    return launcher.run(arguments);
}

bool isHex32(const std::string& text) {
    if (text.size() != 32) return false;
    for (char c : text)
        if (!std::isxdigit(static_cast<unsigned char>(c)) || std::isupper(static_cast<unsigned char>(c))) return false;
    return true;
}

} // namespace

TEST(LauncherJavaStart, FieldServiceModeRunsAdmWithoutArguments) {
    TempFolder installation;
    LauncherRun launcher(installation);
    ProcessResult run = runWithQuietClient(installation, launcher, L"aussendienst -noupdate");
    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(run.status(), 1);
    Record record = Record::read(installation);
    EXPECT_EQ(record.first("main"), (Record::Line{"main", "de/torbenwald/zolp/adm/Adm", "0"}));
    EXPECT_TRUE(record.has("destroy-end"));
    EXPECT_TRUE(record.errors().empty()) << record.text();

    // What the start-up hands to the runtime.
    const std::string folder = toUtf8(installation.path());
    std::vector<std::string> options = record.options();
    ASSERT_GE(options.size(), 10u);
    EXPECT_EQ(options[0], "-Djava.class.path=");  // no module/ and system/jar/ folders
    EXPECT_EQ(options[4], "-Xms64m");
    std::vector<std::string> defines(options.end() - 4, options.end());
    EXPECT_EQ(defines, (std::vector<std::string>{"-Dfile.encoding=UTF-8", "-Djava.library.path=" + folder + "system\\dll",
                                                 "-Djava.net.preferIPv4Stack=true",
                                                 "-Dlogback.configurationFile=" + folder + "system\\config\\logback.xml"}));
    EXPECT_TRUE(isHex32(record.environment("versionString"))) << record.environment("versionString");
    EXPECT_EQ(record.environment("PATH").rfind(folder + "system\\dll;", 0), 0u) << record.environment("PATH");
}

// An installation folder whose path the ANSI code page (1252 in the test prefix) cannot
// write and which holds a ";": Java gets its short form, in every path and in PATH.
TEST(LauncherJavaStart, AFolderJavaCannotReadIsHandedOverInItsShortForm) {
    if (GetACP() != 1252) GTEST_SKIP() << "needs the ANSI code page 1252";
    TempFolder installation(L"Zak\u0142ad;x");
    LauncherRun launcher(installation);
    ProcessResult run = runWithQuietClient(installation, launcher, L"aussendienst -noupdate");
    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(run.status(), 1);
    Record record = Record::read(installation);
    EXPECT_TRUE(record.has("destroy-end")) << record.text() << launcher.logText();

    wchar_t shortForm[MAX_PATH];
    const DWORD length = GetShortPathNameW(installation.path().c_str(), shortForm, MAX_PATH);
    ASSERT_TRUE(length > 0 && length < MAX_PATH);
    const std::string folder = toUtf8(std::wstring(shortForm, length));  // ASCII
    ASSERT_EQ(folder.find_first_of(";?"), std::string::npos) << folder;
    std::vector<std::string> options = record.options();
    ASSERT_GE(options.size(), 4u);
    std::vector<std::string> defines(options.end() - 4, options.end());
    EXPECT_EQ(defines[1], "-Djava.library.path=" + folder + "system\\dll");
    EXPECT_EQ(defines[3], "-Dlogback.configurationFile=" + folder + "system\\config\\logback.xml");
    EXPECT_EQ(record.environment("PATH").rfind(folder + "system\\dll;", 0), 0u) << record.environment("PATH");
}

TEST(LauncherJavaStart, SiblingClientModeRunsItsLauncherWithoutArguments) {
    TempFolder installation;
    LauncherRun launcher(installation);
    ProcessResult run = runWithQuietClient(installation, launcher, L"-singus -noupdate");
    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(run.status(), 1);
    Record record = Record::read(installation);
    EXPECT_EQ(record.first("main"), (Record::Line{"main", "de/torbenwald/fennarix/client/Launcher", "0"}));
    EXPECT_TRUE(record.has("destroy-end"));
}

TEST(LauncherJavaStart, FieldServiceWinsOverSiblingClient) {
    TempFolder installation;
    LauncherRun launcher(installation);
    ProcessResult run = runWithQuietClient(installation, launcher, L"-singus aussendienst -noupdate");
    EXPECT_EQ(run.status(), 1);
    EXPECT_EQ(Record::read(installation).mainClass(), "de/torbenwald/zolp/adm/Adm");
}

TEST(LauncherJavaStart, StandardModeStartsTheLauncherClassWithHoldAndTheRecordFile) {
    TempFolder installation;
    standin::install(installation);
    Scenario scenario = quickClient();
    scenario.outcomes = {"never"};
    standin::writeScenario(installation, scenario);
    LauncherRun(installation).installLauncher();
    // The Java client starts while the login form waits for the user; the form itself is
    // not driven here: the run is ended once main has been reached.
    ChildProcess launcher(installation / L"ornivel.exe", L"-noupdate", installation.path());
    DWORD code = 0;
    bool ended = false;
    ASSERT_TRUE(waitUntil([&] {
        ended = launcher.waitForExit(0, code);
        return ended || Record::read(installation).has("main-return");
    }, 20000));
    Record record = Record::read(installation);
    if (ended) {
        // A login form that ends at once counts as a cancelled login.
        EXPECT_EQ(static_cast<int>(code), -1);
    }
    if (!ended || record.has("main")) {
        EXPECT_EQ(record.first("main"),
                  (Record::Line{"main", "de/torbenwald/zolp/launcher/Launcher", "2", "-hold", "launcher.dat"}));
    }
    EXPECT_TRUE(record.errors().empty()) << record.text();
}

TEST(LauncherJavaStart, WithoutRuntimeTheLauncherLogsAndEnds) {
    TempFolder installation;
    LauncherRun launcher(installation);
    ProcessResult run = launcher.run(L"aussendienst -noupdate");
    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(run.status(), 1);
    EXPECT_NE(launcher.logText().find("Could not find JVM, exiting..."), std::string::npos) << launcher.logText();
}

TEST(LauncherJavaStart, FailedCreationShowsTheReportAndEndsWithMinusOne) {
    TempFolder installation;
    standin::install(installation);
    Scenario scenario = quickClient();
    scenario.createResult = -4;
    standin::writeScenario(installation, scenario);
    LauncherRun(installation).installLauncher();
    ChildProcess launcher(installation / L"ornivel.exe", L"aussendienst -noupdate", installation.path());
    HWND box = waitForMessageBox(launcher.id(), 20000);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(windowText(box), L"Fatal Error");
    EXPECT_EQ(messageBoxText(box), L"An error occured while starting the Java Virtual Machine:\r\n\r\nNot enough memory.");
    answerMessageBox(box, IDOK);
    DWORD code = 0;
    ASSERT_TRUE(launcher.waitForExit(10000, code));
    EXPECT_EQ(static_cast<int>(code), -1);
}

TEST(LauncherJavaStart, WaitsForTheClientAndEndsOnItsHeapDump) {
    TempFolder installation;
    standin::install(installation);
    Scenario scenario;
    scenario.clientMs = 15000;
    standin::writeScenario(installation, scenario);
    LauncherRun(installation).installLauncher();
    ChildProcess launcher(installation / L"ornivel.exe", L"aussendienst -noupdate", installation.path());
    WindowQuery client;
    client.title = L"ornivel client (stand-in)";
    client.processId = launcher.id();
    ASSERT_NE(waitForWindow(client, 20000), nullptr);
    DWORD code = 0;
    EXPECT_FALSE(launcher.waitForExit(0, code));
    installation.write(formatWide(L"java_pid%lu.hprof", launcher.id()), "JAVA PROFILE 1.0.2");
    HWND box = waitForMessageBox(launcher.id(), 5000);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(windowText(box), L"Out Of Memory");
    answerMessageBox(box, IDOK);
    ASSERT_TRUE(launcher.waitForExit(5000, code));
    EXPECT_EQ(code, 0u);
}
