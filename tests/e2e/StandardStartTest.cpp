// A normal start of the real launcher, from the synchronisation over three login attempts to
// the end of the client: what the user sees, what the Java side receives, what stays behind.
#include <gtest/gtest.h>

#include <cctype>
#include <set>

#include "common/Text.h"
#include "config/StoredValues.h"
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

// MD5 digests of the passwords' UTF-8 bytes (computed outside this program).
const char* const kMd5Geheim = "e8636ea013e682faf61f56ce1cb1ab5c";      // "geheim"
const char* const kMd5Umlaut = "8e1843033a0f6ee52e2f618aa8ebbef4";      // "pässword"
const char* const kMd5Secret42 = "c87cea97ae78b8dbaaa9197f923818ea";    // "Secret 42"

const char* const kServerIni = "srv01|8080|Production\r\n\r\n   \r\nbackup.example.org|9443|Backup System|3\r\n";

bool isDecimal(const std::string& text) {
    if (text.empty()) return false;
    for (char c : text)
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    return true;
}

// Under Wine a window's new paint may reach the screen only when its thread wakes up again;
// a few messages to the dialog bring the picture closer to what the controls hold.
bool screenshotOf(HWND dialog, const std::wstring& name) {
    for (int i = 0; i < 3; ++i) {
        Sleep(100);
        DWORD_PTR ignored = 0;
        SendMessageTimeoutW(dialog, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &ignored);
    }
    Sleep(100);
    return saveScreenshot(dialog, screenshotPath(name));
}

// What the dialog showed while the synchronisation ran.
struct ProgressSeen {
    std::set<std::wstring> status;
    std::set<std::wstring> detail;
    std::wstring caption;
    bool screenshot = false;
};

ProgressSeen watchProgress(HWND dialog, DWORD timeoutMs) {
    ProgressSeen seen;
    waitUntil([&] {
        if (controlVisible(dialog, IDC_USER_ID)) return true;
        const std::wstring status = controlText(dialog, IDC_STATUS_TEXT);
        seen.status.insert(status);
        seen.detail.insert(controlText(dialog, IDC_DETAIL_TEXT));
        // The caption while the synchronisation shows its first state (the dialog appears with
        // its template's caption a moment before).
        if (seen.caption.empty() && status == L"Contacting Server...") seen.caption = windowText(dialog);
        if (!seen.screenshot && status.rfind(L"Loading file", 0) == 0) seen.screenshot = screenshotOf(dialog, L"e2e-progress");
        return false;
    }, timeoutMs);
    return seen;
}

size_t outcomesSet(const Record& record) { return record.all("outcome").size(); }

TEST(EndToEndStandard, SynchronisesLogsInAfterTwoRefusalsAndWaitsForTheClient) {
    TempFolder inst(L"e2e-std");
    StoredValues stored(inst);
    standin::install(inst);
    Scenario scenario;
    scenario.outcomes = {"IOException", "WrongUserOrPasswordException", "success"};
    scenario.outcomeDelayMs = 300;
    scenario.clientMs = 2500;
    standin::writeScenario(inst, scenario);
    inst.write(L"system\\config\\server.ini", kServerIni);
    inst.write(L"launcher2.dat", "left over from an earlier login");

    TestDeploymentServer server;
    server.putFile(L"module\\core-1.0.jar", "core module, version 1.0");
    server.putFile(L"module\\ui-2.3.jar", std::string(70000, 'u'));
    server.publish();
    // Slow answers keep each phase on the screen long enough to be seen.
    {
        HttpAnswer slow = HttpAnswer::ok(std::string("core module, version 1.0"));
        slow.delay = 1.0;
        server.http().route("/deploy/module/core-1.0.jar", slow);
    }
    server.writeServerFile(inst.path());
    answerVersionCheck(server, inst.path(), server.serverRecord("http"), 1.0);

    const std::wstring exe = LauncherRun(inst).installLauncher();
    ChildProcess launcher(exe, L"", inst.path());
    ASSERT_TRUE(launcher.started());
    HWND dialog = waitForLoginDialog(launcher.id());
    ASSERT_NE(dialog, nullptr);

    // Synchronisation: the progress texts, then the login form.
    ProgressSeen seen = watchProgress(dialog, 30000);
    EXPECT_EQ(seen.caption, L"ornivel");
    EXPECT_TRUE(seen.status.count(L"Contacting Server...")) << toUtf8(*seen.status.begin());
    EXPECT_TRUE(seen.status.count(L"Loading file 1 of 2..."));
    EXPECT_TRUE(seen.detail.count(fromAnsi(server.versionCheckUrl()))) << "the version-check address as detail";
    EXPECT_TRUE(seen.screenshot);
    ASSERT_TRUE(waitForLoginForm(dialog));
    EXPECT_EQ(inst.read(L"module\\core-1.0.jar"), "core module, version 1.0");
    EXPECT_EQ(inst.read(L"module\\ui-2.3.jar"), std::string(70000, 'u'));
    EXPECT_EQ(inst.read(L"TarnFileList.xml"), server.fileListText());
    EXPECT_FALSE(controlVisible(dialog, IDC_PROGRESS_BAR));
    EXPECT_EQ(serverListEntries(dialog), (std::vector<std::wstring>{L"Production", L"Backup System"}));
    EXPECT_EQ(selectedServer(dialog), 0);
    EXPECT_EQ(controlText(dialog, IDC_USER_ID), L"");
    EXPECT_FALSE(savePasswordChecked(dialog));
    screenshotOf(dialog, L"e2e-login-form");

    // Attempt 1: the server cannot be reached; the form comes back with the stored user id.
    logIn(dialog, L"  anna ", L"geheim", false);
    ASSERT_TRUE(waitUntil([&] { return outcomesSet(Record::read(inst)) == 1; }, 15000)) << Record::read(inst).text();
    ASSERT_TRUE(waitForLoginForm(dialog));
    EXPECT_EQ(controlText(dialog, IDC_USER_ID), L"  anna ");
    EXPECT_EQ(controlText(dialog, IDC_PASSWORD), L"");
    EXPECT_EQ(stored.string(L"lastUser"), L"  anna ");
    bool passwordStored = true;
    EXPECT_EQ(stored.string(L"password", &passwordStored), L"");

    // Attempt 2: wrong credentials on the second server.
    selectServer(dialog, 1);
    logIn(dialog, L"bob", L"pässword", false);
    ASSERT_TRUE(waitUntil([&] { return outcomesSet(Record::read(inst)) == 2; }, 15000)) << Record::read(inst).text();
    ASSERT_TRUE(waitForLoginForm(dialog));
    EXPECT_EQ(controlText(dialog, IDC_USER_ID), L"bob");
    EXPECT_EQ(selectedServer(dialog), 1);
    DWORD lastServer = 99;
    EXPECT_TRUE(stored.dword(L"lastServer", lastServer));
    EXPECT_EQ(lastServer, 1u);

    // Attempt 3: accepted; the client shows its window and the dialog steps aside.
    logIn(dialog, L"J\u00f6rg", L"Secret 42", true);
    WindowQuery clientWindow;
    clientWindow.title = fromUtf8(standin::kWindowTitle);
    clientWindow.processId = launcher.id();
    HWND client = waitForWindow(clientWindow, 15000);
    ASSERT_NE(client, nullptr) << Record::read(inst).text();
    EXPECT_TRUE(waitUntil([&] { return !IsWindowVisible(dialog); }, 5000)) << "the dialog hides behind the client";
    Sleep(300);
    saveScreenshot(nullptr, screenshotPath(L"e2e-client"));
    DWORD code = 0;
    EXPECT_FALSE(launcher.waitForExit(0, code)) << "the launcher waits for the client";
    ASSERT_TRUE(launcher.waitForExit(20000, code));
    EXPECT_EQ(code, 1u);

    // The records the Java side read, byte for byte.
    Record record = Record::read(inst);
    EXPECT_EQ(record.mainClass(), "de/torbenwald/zolp/launcher/Launcher");
    EXPECT_EQ(record.mainArguments(), (std::vector<std::string>{"-hold", "launcher.dat"}));
    const std::vector<std::string> expected{
        loginRecord("0061006e006e0061", kMd5Geheim, "srv01", 8080, L"Production", -1),
        loginRecord("0062006f0062", kMd5Umlaut, "backup.example.org", 9443, L"Backup System", 3),
        loginRecord("004a00f600720067", kMd5Secret42, "backup.example.org", 9443, L"Backup System", 3),
    };
    EXPECT_EQ(record.loginRecords(), expected) << record.text();
    EXPECT_FALSE(inst.exists(L"launcher2.dat"));
    size_t resets = 0;
    for (const auto& line : record.all("call"))
        if (line.size() > 2 && line[2] == "resetError") ++resets;
    EXPECT_EQ(resets, 3u);

    // loginTime: milliseconds since the launcher started, growing from attempt to attempt.
    std::vector<long long> loginTimes;
    for (const auto& line : record.all("env"))
        if (line.size() > 2 && line[1] == "loginTime") {
            ASSERT_TRUE(isDecimal(line[2])) << line[2];
            loginTimes.push_back(std::stoll(line[2]));
        }
    ASSERT_EQ(loginTimes.size(), 3u);
    EXPECT_LT(loginTimes[0], loginTimes[1]);
    EXPECT_LT(loginTimes[1], loginTimes[2]);
    EXPECT_GT(loginTimes[0], 1000) << "the synchronisation alone took more than a second";

    // The client outlived the login; the launcher ended only after it.
    const int closed = record.indexOf("client-end");
    ASSERT_GE(closed, 0) << record.text();
    EXPECT_LT(closed, record.indexOf("destroy-end"));
    EXPECT_LT(record.indexOf("window-shown"), record.indexOf("window-closed"));
    EXPECT_TRUE(record.errors().empty()) << record.text();
    // The version the client sees is that of the synchronised installation.
    EXPECT_EQ(record.environment("versionString"), checksumOf(inst.path()));

    // The values the next start offers.
    bool userFound = false;
    EXPECT_EQ(stored.string(L"lastUser", &userFound), L"J\u00f6rg");
    EXPECT_TRUE(userFound);
    // The saved password is kept protected for this user, never readable in the registry.
    bool plainValue = true;
    EXPECT_EQ(stored.string(L"password", &plainValue), L"");
    EXPECT_FALSE(plainValue);
    EXPECT_EQ(loadStoredPassword(stored.keyOf(L"password")), L"Secret 42");
    EXPECT_TRUE(stored.dword(L"lastServer", lastServer));
    EXPECT_EQ(lastServer, 1u);
    EXPECT_EQ(stored.string(L"deployment"), fromAnsi(server.serverRecord("http")));

    const std::string log = LauncherRun(inst).logText();
    EXPECT_NE(log.find("| ornivel | info    | Synchronizing local folder"), std::string::npos) << log;
    EXPECT_EQ(log.find("| error"), std::string::npos) << log;
    EXPECT_EQ(log.find("| fatal"), std::string::npos) << log;
}

} // namespace
} // namespace ornivel
