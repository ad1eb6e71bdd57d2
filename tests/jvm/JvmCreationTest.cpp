// Finding and creating the VM, and the report of a failed creation, in host processes.
#include <gtest/gtest.h>

#include "common/Text.h"
#include "tests/jvm/JvmHostRun.h"
#include "tests/support/windows/ChildProcess.h"
#include "tests/support/windows/WindowDriver.h"

using namespace ornivel;
using namespace ornivel::test;

using standin::Record;
using standin::Scenario;

namespace {

const std::string kAdmScript = "main-class\tde.torbenwald.zolp.adm.Adm\nhandler\nstart\nquit\nwait\n";

struct FailureReport {
    std::wstring caption;
    std::wstring text;
    bool hadIcon = false;
    int status = 0;
    bool ended = false;
};

// Runs the host with a creation result (and further script steps before the start) and
// answers the message box it shows.
FailureReport failedCreation(int createResult, const std::string& setup = "") {
    TempFolder installation;
    standin::install(installation);
    Scenario scenario;
    scenario.createResult = createResult;
    standin::writeScenario(installation, scenario);
    installation.write(L"jvmhost.script", setup + kAdmScript);
    ChildProcess host(jvmHostPath(), L"", installation.path());
    FailureReport report;
    HWND box = waitForMessageBox(host.id(), 15000);
    if (!box) {
        ADD_FAILURE() << "no message box for result " << createResult;
        return report;
    }
    report.caption = windowText(box);
    report.text = messageBoxText(box);
    report.hadIcon = messageBoxShowsIcon(box);
    answerMessageBox(box, IDOK);
    DWORD code = 0;
    report.ended = host.waitForExit(10000, code);
    report.status = static_cast<int>(code);
    EXPECT_TRUE(Record::read(installation).has("create-result"));
    EXPECT_FALSE(readHostOutput(installation).at("quit") >= 0) << "the host went on after the failure";
    return report;
}

} // namespace

TEST(JvmCreation, NotEnoughMemoryIsReportedAndTheProcessEndsWithMinusOne) {
    FailureReport report = failedCreation(-4);
    EXPECT_EQ(report.caption, L"Fatal Error");
    EXPECT_EQ(report.text, L"An error occured while starting the Java Virtual Machine:\r\n\r\nNot enough memory.");
    EXPECT_TRUE(report.hadIcon);
    EXPECT_TRUE(report.ended);
    EXPECT_EQ(report.status, -1);
}

TEST(JvmCreation, EveryNegativeResultHasItsText) {
    const std::pair<int, const wchar_t*> cases[] = {{-1, L"Unknown Error."},
                                                    {-2, L"Thread detached from the VM."},
                                                    {-3, L"JNI Version error."},
                                                    {-5, L"VM already created."},
                                                    {-6, L"Invalid Arguments."}};
    for (const auto& [code, text] : cases) {
        FailureReport report = failedCreation(code);
        EXPECT_EQ(report.text, std::wstring(L"An error occured while starting the Java Virtual Machine:\r\n\r\n") + text)
            << code;
        EXPECT_EQ(report.status, -1) << code;
    }
}

TEST(JvmCreation, TheRuntimeRefusesAZeroHeapAndTakesASmallOne) {
    FailureReport report = failedCreation(0, "heap\t0\n");
    EXPECT_EQ(report.text, L"An error occured while starting the Java Virtual Machine:\r\n\r\nInvalid Arguments.");
    EXPECT_EQ(report.status, -1);
    // Below 64 MB the initial heap follows the maximum; the runtime would end the process
    // otherwise.
    TempFolder installation;
    standin::install(installation);
    HostOutput out = runHost(installation, "heap\t48\n" + kAdmScript);
    EXPECT_EQ(out.process.status(), 3);
    std::vector<std::string> options = Record::read(installation).options();
    ASSERT_GE(options.size(), 5u);
    EXPECT_EQ(options[1], "-Xmx48m");
    EXPECT_EQ(options[4], "-Xms48m");
}

TEST(JvmCreation, ClientLibraryIsUsedBeforeServerAndRegistry) {
    TempFolder installation;
    std::wstring client = standin::install(installation, standin::Flavour::Client);
    standin::install(installation, standin::Flavour::Server);
    HostOutput out = runHost(installation, kAdmScript);
    EXPECT_EQ(out.process.status(), 3);
    Record record = Record::read(installation);
    EXPECT_EQ(record.first("load"), (Record::Line{"load", toUtf8(client)}));
    EXPECT_EQ(record.all("load").size(), 1u);
}

TEST(JvmCreation, ServerLibraryWithoutClient) {
    TempFolder installation;
    std::wstring server = standin::install(installation, standin::Flavour::Server);
    runHost(installation, kAdmScript);
    EXPECT_EQ(Record::read(installation).first("load"), (Record::Line{"load", toUtf8(server)}));
}

TEST(JvmCreation, RegisteredRuntimeWhenTheInstallationHasNone) {
    TempFolder installation;
    TempFolder elsewhere(L"jre");
    const std::wstring library = elsewhere / L"bin\\server\\jvm.dll";
    standin::installAt(library);
    standin::RegisteredRuntime registered(L"17.0.1", library);
    HostOutput out = runHost(installation, kAdmScript);
    EXPECT_EQ(out.process.status(), 3);
    Record record = Record::read(installation);
    EXPECT_EQ(record.first("load"), (Record::Line{"load", toUtf8(library)}));
    EXPECT_TRUE(record.has("destroy-end"));
}

TEST(JvmCreation, AnUnloadableLibraryIsLoggedAndTheThreadEnds) {
    TempFolder installation;
    installation.write(L"java_17.0.1\\bin\\client\\jvm.dll", "this is no library");
    HostOutput out = runHost(installation, kAdmScript + std::string("string-call\tgetError\n"));
    EXPECT_EQ(out.process.status(), 3);
    EXPECT_NE(out.log.find("fatal  |JVM Lib " + toUtf8(installation.path()) + "java_17.0.1\\bin\\client\\jvm.dll could not be loaded, Errorcode = "),
              std::string::npos)
        << out.log;
    EXPECT_EQ(out.result("getError"), "");
}
