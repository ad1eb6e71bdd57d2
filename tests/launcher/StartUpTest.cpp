#include <gtest/gtest.h>

#include <regex>

#include "common/Text.h"
#include "tests/support/TestSupport.h"
#include "tests/support/windows/ChildProcess.h"
#include "tests/support/windows/WindowDriver.h"

namespace ornivel {
namespace {

using test::LauncherRun;
using test::TempFolder;

// Every line of log\launcher.log: "%d %t | ornivel | %e | %m".
const std::regex kLogLine(R"(\d\d\.\d\d\.\d{4} \d\d:\d\d:\d\d \| ornivel \| (debug  |info   |warning|error  |fatal  ) \| .*)");

size_t countContaining(const std::vector<std::string>& lines, const std::string& text) {
    size_t n = 0;
    for (const auto& line : lines) n += line.find(text) != std::string::npos;
    return n;
}

size_t countMessages(const std::vector<std::string>& lines, const std::string& message) {
    size_t n = 0;
    for (const auto& line : lines)
        n += line.size() >= message.size() && line.compare(line.size() - message.size(), message.size(), message) == 0;
    return n;
}

class StartUp : public ::testing::Test {
protected:
    TempFolder installation{L"startup"};
    LauncherRun launcher{installation};
};

TEST_F(StartUp, FieldServiceWithoutUpdateEndsWithOneAndWritesPatternLines) {
    test::ProcessResult result = launcher.run(L"aussendienst -noupdate");
    ASSERT_TRUE(result.started);
    ASSERT_FALSE(result.timedOut);
    EXPECT_EQ(result.status(), 1);
    std::vector<std::string> lines = launcher.logLines();
    ASSERT_FALSE(lines.empty());
    for (const std::string& line : lines) EXPECT_TRUE(std::regex_match(line, kLogLine)) << line;
    EXPECT_EQ(countMessages(lines, "| info    | ThreadStartVM"), 1u);
    // The log is written with CR LF line ends.
    EXPECT_NE(launcher.logText().find("\r\n"), std::string::npos);
}

TEST_F(StartUp, EachStartBeginsANewLogFile) {
    launcher.run(L"aussendienst -noupdate");
    launcher.run(L"aussendienst -noupdate");
    EXPECT_EQ(countMessages(launcher.logLines(), "| info    | ThreadStartVM"), 1u);
}

TEST_F(StartUp, RejectedValueOptionsAreLoggedAndIgnored) {
    launcher.run(L"aussendienst -noupdate -lib=\"C:\\no closing quote");
    std::vector<std::string> lines = launcher.logLines();
    EXPECT_EQ(countContaining(lines, "| warning | Ignoring -lib= on the command line: the value has no closing double quote."),
              1u);
    launcher.run(L"aussendienst -noupdate -path=\"" + std::wstring(300, L'p') + L"\"");
    EXPECT_EQ(countContaining(launcher.logLines(), "Ignoring -path= on the command line: the value has 260"), 1u);
}

TEST_F(StartUp, NoUpdateAndZolpPathSkipTheSynchronisation) {
    installation.write(L"ornivel-Server.dat", "http://127.0.0.1:9/deploy");
    launcher.run(L"aussendienst");
    EXPECT_GT(countContaining(launcher.logLines(), "Synchroni"), 0u);

    launcher.run(L"aussendienst -noupdate");
    EXPECT_EQ(countContaining(launcher.logLines(), "Synchroni"), 0u);

    installation.makeFolder(L"ZOLP");
    installation.write(L"ZOLP\\ornivel-Server.dat", "http://127.0.0.1:9/deploy");
    std::wstring exe = launcher.installLauncher(L"ZOLP\\ornivel.exe");
    test::ProcessResult result = test::runProgram(exe, L"aussendienst", installation / L"ZOLP");
    EXPECT_EQ(result.status(), 1);
    std::vector<std::string> lines = test::splitLines(installation.read(L"ZOLP\\log\\launcher.log"));
    EXPECT_FALSE(lines.empty());
    EXPECT_EQ(countContaining(lines, "Synchroni"), 0u);
}

// winhttp.dll, mpr.dll and crypt32.dll are no known libraries of the system: a file of that
// name beside a program is loaded in their place when the program imports them the ordinary
// way. Wine does the same for the libraries it is told to take from there first.
TEST_F(StartUp, LibrariesBesideTheLauncherNeverLoadInPlaceOfTheSystemOnes) {
    installation.write(L"ornivel-Server.dat", "http://127.0.0.1:9/check");
    const std::wstring planted = test::windowsPathOf(PLANTED_LIBRARY_UNIX_PATH);
    const wchar_t* const names[] = {L"winhttp.dll", L"mpr.dll", L"crypt32.dll"};
    for (const wchar_t* name : names) ASSERT_TRUE(CopyFileW(planted.c_str(), (installation / name).c_str(), FALSE));
    const std::wstring overrides = processEnvironment(L"WINEDLLOVERRIDES");
    SetEnvironmentVariableW(L"WINEDLLOVERRIDES", (overrides + L";winhttp,mpr,crypt32=n,b").c_str());
    const test::ProcessResult result = launcher.run(L"-updateonly");
    SetEnvironmentVariableW(L"WINEDLLOVERRIDES", overrides.c_str());
    ASSERT_TRUE(result.started);
    // The version check ran (over the system's WinHTTP) and found no server.
    EXPECT_EQ(result.status(), 20) << launcher.logText();
    for (const wchar_t* name : names) EXPECT_FALSE(installation.exists(name + std::wstring(L".planted"))) << name;
}

TEST_F(StartUp, ServerFileKeepsTheChooserAway) {
    installation.write(L"ornivel.ini", "[Company]\r\nCompany1=A$Company A$srv-a\r\n[DisplayCompany]\r\nDIZ=A\r\n");
    installation.write(L"ornivel-Server.dat", "http://127.0.0.1:9/deploy");
    test::ProcessResult result = launcher.run(L"aussendienst -noupdate");
    EXPECT_EQ(result.status(), 1);
    EXPECT_FALSE(launcher.logLines().empty());
}

TEST_F(StartUp, StandardModeWithoutJavaEndsAfterLoginInsteadOfWaitingForEver) {
    installation.write(L"system\\config\\server.ini", "srv01|8080|Production\r\n");
    launcher.installLauncher();
    test::ChildProcess process(installation / L"ornivel.exe", L"-noupdate", installation.path());
    ASSERT_TRUE(process.started());
    HWND dialog = nullptr;
    ASSERT_TRUE(test::waitUntil(
        [&] {
            dialog = test::findWindow({L"#32770", L"", process.id(), nullptr, true});
            return dialog && test::controlVisible(dialog, 1003);
        },
        20000));  // the form is filled before its fields appear
    test::setControlText(dialog, 1003, L"anna");
    test::clickButton(dialog, 1);
    DWORD exitCode = 0;
    ASSERT_TRUE(process.waitForExit(20000, exitCode)) << launcher.logText();
    EXPECT_EQ(exitCode, 1u);
    std::vector<std::string> lines = launcher.logLines();
    EXPECT_EQ(countMessages(lines, "| error   | Could not find JVM, exiting..."), 1u);
    EXPECT_EQ(countMessages(lines, "| info    | The Java client ended without reporting the outcome of the login."), 1u);
    EXPECT_FALSE(installation.exists(L"launcher.dat")) << "the login record does not outlive the launcher";
}

} // namespace
} // namespace ornivel
