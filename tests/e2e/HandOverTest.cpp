// Starts that hand over to another launcher process: the self-update through the restart
// script, and the company chooser that sets up a company folder and starts the copy there.
#include <gtest/gtest.h>

#include "common/Text.h"
#include "res/resource.h"
#include "tests/e2e/E2eSupport.h"
#include "tests/support/rar/RarFixture.h"
#include "tests/support/windows/Screenshot.h"
#include "tests/support/windows/WindowDriver.h"

namespace ornivel {
namespace {

using namespace test;
using namespace test::e2e;
using standin::Record;
using standin::Scenario;

const char* const kSeparatorLine = "| info    | ---------------------------------------";

// The one launcher process running `exe`, once it is there.
ForeignProcess waitForProcessOf(const std::wstring& exe, DWORD timeoutMs) {
    DWORD id = 0;
    waitUntil([&] {
        std::vector<DWORD> ids = processesOf(exe);
        if (ids.size() == 1) id = ids[0];
        return id != 0;
    }, timeoutMs);
    return id ? ForeignProcess(id) : ForeignProcess();
}

// Cancels the login form of a launcher the test did not start and returns its exit code.
DWORD cancelLogin(ForeignProcess& process) {
    HWND dialog = waitForLoginDialog(process.id());
    EXPECT_NE(dialog, nullptr);
    EXPECT_TRUE(waitForLoginForm(dialog));
    clickButton(dialog, IDC_LOGIN_CANCEL);
    DWORD code = 0;
    EXPECT_TRUE(process.waitForExit(15000, code));
    return code;
}

// In a folder as users name them, under a profile with a letter beyond ASCII: synchronisation,
// Ghostscript unpacking and the self-update, with Wine's own command interpreter.
TEST(EndToEndHandOver, SelfUpdateReplacesTheLauncherAndTheNewOneStarts) {
    TempFolder inst(kEverydayFolderName, everydayProfileFolder());
    StoredValues stored(inst);
    standin::install(inst);
    Scenario scenario;
    scenario.window = false;
    standin::writeScenario(inst, scenario);

    const std::wstring exe = LauncherRun(inst).installLauncher();
    // The new version: the launcher with a few bytes appended, so it differs and still runs.
    const std::string newLauncher = inst.read(L"ornivel.exe") + std::string("\0new launcher build", 19);
    EndProcessesOnExit cleanup(exe);

    TestDeploymentServer server;
    server.putFile(L"ornivel.exe", newLauncher);
    server.putFile(L"module\\app-1.0.jar", "application module");
    server.putFile(L"system\\gs.rar", storedRarArchive({{"gs", "", true}, {"gs\\bin\\gsdll.dll", "ghostscript"}}));
    inst.write(L"system\\gs\\bin\\old.dll", "the old version");
    server.publish();
    server.writeServerFile(inst.path());
    answerVersionCheck(server, inst.path(), server.serverRecord("http"));
    {
        // The updated installation is up to date.
        TempFolder updated(L"e2e-updated");
        updated.write(L"module\\app-1.0.jar", "application module");
        answerVersionCheck(server, updated.path(), "OK");
    }

    ProcessResult first = runWithOutput(exe, L"", inst.path(), inst / L"first-run.txt");
    ASSERT_TRUE(first.started);
    ASSERT_FALSE(first.timedOut);
    EXPECT_EQ(first.exitCode, 1u) << "a run that ends for the restart reaches the end of the entry";
    // Its log lines, from its standard output (the new launcher starts the log file anew).
    const std::string firstLog = inst.read(L"first-run.txt");
    EXPECT_NE(firstLog.find("| info    | Using CopyRun for restart"), std::string::npos) << firstLog;
    EXPECT_EQ(firstLog.find("| fatal"), std::string::npos) << firstLog;
    EXPECT_EQ(firstLog.find("ThreadStartVM"), std::string::npos) << "no Java before the restart";

    // Wine's cmd runs the script: it replaces the executable and starts it again, and the new
    // launcher finishes the update (the check answers "OK" by now) before it goes on.
    ASSERT_TRUE(waitUntil([&] {
        return countOf(LauncherRun(inst).logText(), "did not finish; it is finished now.") == 1 &&
               !inst.exists(L"TarnFileList.unfinished");
    }, 30000))
        << LauncherRun(inst).logText() << inst.read(L"log\\copyrun.log");
    EXPECT_EQ(inst.read(L"ornivel.exe"), newLauncher);
    EXPECT_FALSE(inst.exists(L"ornivel.tmp"));
    EXPECT_EQ(inst.read(L"module\\app-1.0.jar"), "application module");
    EXPECT_EQ(inst.read(L"TarnFileList.xml"), server.fileListText());
    EXPECT_EQ(inst.read(L"system\\gs\\bin\\gsdll.dll"), "ghostscript");
    EXPECT_FALSE(inst.exists(L"system\\gs\\bin\\old.dll"));
    EXPECT_FALSE(inst.exists(L"unrar.exe"));

    const std::string log = LauncherRun(inst).logText();
    EXPECT_EQ(countOf(log, kSeparatorLine), 1u) << log;
    EXPECT_EQ(log.find("Using CopyRun"), std::string::npos) << log;
    EXPECT_EQ(log.find("| fatal"), std::string::npos) << log;

    // The new launcher goes on to its login form like any start; the test ends it there.
    ForeignProcess second = waitForProcessOf(exe, 10000);
    ASSERT_TRUE(second.valid());
    EXPECT_TRUE(isMinusOne(cancelLogin(second)));
    Record record = Record::read(inst);
    EXPECT_EQ(record.all("load").size(), 1u) << "only the new launcher started Java";
    EXPECT_EQ(record.environment("versionString"), checksumOf(inst.path()));
}

TEST(EndToEndHandOver, TheCompanyChooserStartsTheCopyInTheCompanyFolder) {
    TempFolder root(L"e2e-companies");
    TestDeploymentServer server;
    const std::string address = formatNarrow("127.0.0.1:%d/check", server.http().httpPort());
    root.write(L"ornivel.ini", "[Company]\r\nCompany1=A$Company A$srv-a.invalid/client\r\nCompany2=B$Company B$" + address +
                                   "\r\n[DisplayCompany]\r\nDIZ=A$B\r\n");
    // The company folder already holds a runtime; the chooser adds the launcher and the
    // server file.
    root.makeFolder(L"B");
    standin::installAt(root / L"B\\java_17.0.1\\bin\\client\\jvm.dll");
    Scenario scenario;
    scenario.window = false;
    root.write(L"B\\" + fromUtf8(standin::kScenarioFile), scenario.text());
    // The copy's version check: its server file names the service with a trailing slash.
    server.http().route("/check//clientChecksum%3d" + checksumOf(root / L"B\\"), HttpAnswer::ok("OK"));

    const std::wstring exe = LauncherRun(root).installLauncher();
    const std::wstring copy = root / L"B\\ornivel.exe";
    EndProcessesOnExit cleanup(copy);
    ChildProcess chooser(exe, L"", root.path());
    ASSERT_TRUE(chooser.started());
    WindowQuery query;
    query.className = L"ChooseCompany";
    query.processId = chooser.id();
    HWND window = waitForWindow(query, 20000);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(windowText(window), L"Bitte System ausw\u00e4hlen");
    std::vector<HWND> buttons = childWindows(window);
    ASSERT_EQ(buttons.size(), 2u);
    EXPECT_EQ(windowText(buttons[1]), L"Company B");
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(1, BN_CLICKED), reinterpret_cast<LPARAM>(buttons[1]));
    DWORD code = 0;
    ASSERT_TRUE(chooser.waitForExit(15000, code));
    EXPECT_EQ(code, 1u);
    EXPECT_FALSE(root.exists(L"A"));
    EXPECT_FALSE(root.exists(L"log")) << "the chooser's own run logs nothing";
    EXPECT_EQ(root.read(L"B\\ornivel-Server.dat"), "http://" + address + "/");
    EXPECT_EQ(root.read(L"B\\ornivel.exe"), root.read(L"ornivel.exe"));

    // The copy runs in the company folder: its log, its version check, its Java.
    ForeignProcess started = waitForProcessOf(copy, 15000);
    ASSERT_TRUE(started.valid());
    EXPECT_TRUE(isMinusOne(cancelLogin(started)));
    const std::string log = root.read(L"B\\log\\launcher.log");
    EXPECT_NE(log.find("| info    | Synchronizing local folder " + toUtf8(root.path()) + "B"), std::string::npos)
        << log;
    EXPECT_NE(log.find("| info    | Version checksum is OK. No synchronisation necessary."), std::string::npos) << log;
    EXPECT_EQ(Record(root.read(L"B\\" + fromUtf8(standin::kRecordFile))).mainClass(),
              "de/torbenwald/zolp/launcher/Launcher");
}

} // namespace
} // namespace ornivel
