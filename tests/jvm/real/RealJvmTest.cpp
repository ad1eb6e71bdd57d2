// The Java host on a real HotSpot VM (Debian's OpenJDK 17), loaded from the installation's
// runtime folder by the code the launcher uses. Each test runs in a process of its own
// (RealJvmMain.cpp): a process can create only one VM.
#include <gtest/gtest.h>

#include <chrono>
#include <iostream>
#include <memory>
#include <thread>

#include "common/Event.h"
#include "common/Process.h"
#include "common/Text.h"
#include "jvm/JObject.h"
#include "jvm/JavaMainThread.h"
#include "jvm/HeapDumpWatchThread.h"
#include "launcher/LoginRecord.h"
#include "tests/jvm/real/LoginServer.h"
#include "tests/jvm/real/RealJvmSupport.h"

namespace ornivel::test {
namespace {

const wchar_t* const kHostCheck = L"de.torbenwald.hostcheck.HostCheck";
const wchar_t* const kStandard = L"de.torbenwald.zolp.launcher.Launcher";

std::vector<std::wstring> lines(const std::wstring& text) {
    std::vector<std::wstring> found;
    size_t start = 0;
    while (start <= text.size() && !text.empty()) {
        size_t end = text.find(L'\n', start);
        found.push_back(text.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start));
        if (end == std::wstring::npos) break;
        start = end + 1;
    }
    return found;
}

class RealJvm : public testing::Test {
protected:
    void SetUp() override { log.addAppender(memory); }
    void TearDown() override {
        if (!HasFailure()) return;
        std::cout << "--- log\n" << memory->text() << "--- standard error\n" << errors.text() << "---\n";
    }

    // A call of a static method of the main class with string and int arguments.
    std::wstring call(ThreadStartVM& javaHost, const std::wstring& method, const std::string& signature,
                      std::vector<std::unique_ptr<JObject>> arguments = {}) {
        std::vector<JObject*> list;
        for (auto& argument : arguments) list.push_back(argument.get());
        return javaHost.callStaticMethod(method, signature, list);
    }
    std::wstring callWithText(ThreadStartVM& javaHost, const std::wstring& method, const std::wstring& text) {
        std::vector<std::unique_ptr<JObject>> arguments;
        arguments.push_back(std::make_unique<JObjectString>(text));
        return call(javaHost, method, "(Ljava/lang/String;)Ljava/lang/String;", std::move(arguments));
    }
    std::wstring resetPassword(ThreadStartVM& javaHost, const std::wstring& host, int port, const std::wstring& mail) {
        std::vector<std::unique_ptr<JObject>> arguments;
        arguments.push_back(std::make_unique<JObjectString>(host));
        arguments.push_back(std::make_unique<JObjectInt>(port));
        arguments.push_back(std::make_unique<JObjectString>(mail));
        return call(javaHost, L"resetPW", "(Ljava/lang/String;ILjava/lang/String;)Z", std::move(arguments));
    }

    RealInstallation installation;
    StandardErrorCapture errors{"standard-error.txt"};
    MemoryAppender* memory = new MemoryAppender;  // appenders live until the process ends
    LogDriver log{L"ornivel"};
};

TEST_F(RealJvm, TheLaunchersOptionsArriveInsideJava) {
    installation.write("system/config/heapsize.param", "96\r\n");
    installation.write("system/config/jvm.properties", "-Xss2m\r\n-Dzz.raw=from jvm.properties\r\n-Xnot-an-option\r\n");
    installation.write("system/config/system.properties",
                       "java.awt.headless=true\r\nornivel.probe=Gr\xC3\xBC\xC3\x9F" "e aus K\xC3\xB6ln\r\n");
    ThreadStartVM javaHost;
    configureLikeTheLauncher(javaHost, log);
    javaHost.setMainClass(kHostCheck);
    javaHost.start();

    const std::wstring folder = currentFolder();
    const std::vector<std::wstring> expected{
        L"-Xmx96m",
        L"-XX:+UseConcMarkSweepGC",
        L"-XX:+UseParNewGC",
        L"-Xms64m",
        L"-XX:+HeapDumpOnOutOfMemoryError",
        L"-Xss2m",
        L"-Dzz.raw=from jvm.properties",
        L"-Xnot-an-option",
        L"-Dfile.encoding=UTF-8",
        L"-Djava.awt.headless=true",
        L"-Djava.library.path=" + folder + L"system\\dll",
        L"-Djava.net.preferIPv4Stack=true",
        L"-Dlogback.configurationFile=" + folder + L"system\\config\\logback.xml",
        L"-Dornivel.probe=Gr\x00FC\x00DF" L"e aus K\x00F6ln"};
    // Every option in the launcher's order; the VM keeps the class path apart.
    EXPECT_EQ(lines(javaHost.callStaticStringMethod(L"inputArguments")), expected);
    EXPECT_EQ(callWithText(javaHost, L"property", L"java.class.path"), RealInstallation::classPath());
    for (const auto& [name, value] : javaHost.systemProperties())
        EXPECT_EQ(callWithText(javaHost, L"property", name), value) << utf8(name);
    EXPECT_EQ(callWithText(javaHost, L"property", L"zz.raw"), L"from jvm.properties");
    // What the VM made of the options.
    EXPECT_EQ(callWithText(javaHost, L"vmOption", L"MaxHeapSize"), L"100663296 VM_CREATION");
    EXPECT_EQ(callWithText(javaHost, L"vmOption", L"InitialHeapSize"), L"67108864 VM_CREATION");
    EXPECT_EQ(callWithText(javaHost, L"vmOption", L"HeapDumpOnOutOfMemoryError"), L"true VM_CREATION");
    EXPECT_EQ(callWithText(javaHost, L"vmOption", L"ThreadStackSize"), L"2048 VM_CREATION");
    // The two collectors are gone from HotSpot 17; ignoreUnrecognized skips them silently.
    EXPECT_EQ(callWithText(javaHost, L"vmOption", L"UseConcMarkSweepGC"), L"(none)");
    EXPECT_EQ(callWithText(javaHost, L"vmOption", L"UseParNewGC"), L"(none)");
    // Both archives of the class path serve classes.
    EXPECT_EQ(callWithText(javaHost, L"codeSource", kStandard), folder + L"module/ornivel-reference-client.jar");
    EXPECT_EQ(callWithText(javaHost, L"codeSource", kHostCheck), folder + L"system/jar/ornivel-host-check.jar");
    EXPECT_EQ(javaHost.callStaticStringMethod(L"arguments"), L"");  // main got an empty array
    javaHost.postQuit();
    EXPECT_TRUE(javaHost.waitForEnd());

    EXPECT_TRUE(memory->has(LOG_INFO, L"Using JVM Path: \"" + folder + L"java_17.0.1/lib/server/libjvm.so\""));
    EXPECT_TRUE(memory->has(LOG_DEBUG, L"JNI_GetDefaultJavaVMInitArgs returned 0"));
    EXPECT_TRUE(memory->has(LOG_DEBUG, L"JNI_CreateJavaVM returned 0"));
    EXPECT_EQ(memory->count(L"Java: "), 0) << "no call failed";
    // Nothing about the options was printed by the VM.
    const std::string printed = errors.text();
    for (const char* word : {"arning", "nrecognized", "gnoring"}) EXPECT_EQ(printed.find(word), std::string::npos) << printed;
}

TEST_F(RealJvm, StandardModeLoginThroughTheReferenceClient) {
    installation.write("system/config/system.properties", "java.awt.headless=true\r\n");
    // The server refuses the first login with a reason, accepts the second, and answers the
    // first password reset with OK and the second with NO.
    const std::string reason = "Kennwort f\xC3\xBCr \xF0\x9D\x84\x9E abgelaufen";
    LoginServer server({"WRONG " + reason, "OK"}, {"OK", "NO"});
    ThreadStartVM javaHost;
    configureLikeTheLauncher(javaHost, log);
    javaHost.setMainClass(kStandard);
    javaHost.addArgument(L"-hold");
    javaHost.addArgument(L"launcher.dat");
    javaHost.start();

    // A Java exception in the called method (the port is out of range): cleared and logged
    // once, the caller gets the empty text, and the VM goes on serving.
    EXPECT_EQ(resetPassword(javaHost, L"127.0.0.1", 70000, L"x"), L"");
    EXPECT_EQ(resetPassword(javaHost, L"127.0.0.1", 70000, L"x"), L"");
    EXPECT_EQ(memory->count(L"failed with an exception"), 1) << memory->text();
    EXPECT_EQ(javaHost.callStaticStringMethod(L"getError"), L"");  // null before any record

    // User id and caption with a character beyond U+FFFF (a surrogate pair in Java).
    LoginInput input{L" \x00C4nne \U0001D11E ", L"p\x00E4sswort \U0001D11E", L"127.0.0.1", server.port(),
                     L"Pr\x00FC" L"fstand \U0001D11E", -1};
    writeLoginRecord(input);
    const std::wstring refused = pollOutcome(javaHost);
    EXPECT_EQ(refused, L"de.torbenwald.reference.WrongUserOrPasswordException: Kennwort f\x00FCr \U0001D11E abgelaufen");
    EXPECT_TRUE(outcomeAsksForAnotherLogin(refused));
    EXPECT_EQ(javaHost.callStaticStringMethod(L"resetError"), L"");
    EXPECT_EQ(javaHost.callStaticStringMethod(L"getError"), L"");
    EXPECT_FALSE(installation.exists("launcher.dat")) << "the client takes the record away";

    writeLoginRecord(input);
    const std::wstring accepted = pollOutcome(javaHost);
    EXPECT_EQ(accepted, L"LoginOK");
    EXPECT_FALSE(outcomeAsksForAnotherLogin(accepted));
    javaHost.callStaticStringMethod(L"resetError");

    const std::wstring mail = L"\x00E4nne+\U0001D11E@example.com";
    EXPECT_EQ(resetPassword(javaHost, L"127.0.0.1", server.port(), mail), L"true");
    EXPECT_EQ(resetPassword(javaHost, L"127.0.0.1", server.port(), mail), L"false");
    javaHost.postQuit();
    EXPECT_TRUE(javaHost.waitForEnd());

    // What Java sent on: the record's user id and password digest, the mail of the reset,
    // each character as UTF-16 code units.
    const std::string login = utf8(L"LOGIN " + hexUtf16(L"\x00C4nne \U0001D11E") + L" " + passwordDigest(input.password));
    const std::string reset = utf8(L"RESETPW " + hexUtf16(mail));
    EXPECT_EQ(server.requests(), (std::vector<std::string>{login, login, reset, reset}));
}

TEST_F(RealJvm, QuitIsAnsweredAfterMainAndTheEndWaitsForTheNonDaemonThread) {
    ThreadStartVM javaHost;
    configureLikeTheLauncher(javaHost, log);
    javaHost.setMainClass(kHostCheck);
    for (const wchar_t* argument : {L"-main-ms", L"500", L"-worker", L"1500", L"worker.ended"}) javaHost.addArgument(argument);
    javaHost.start();
    // Posted while the VM is still being created.
    javaHost.postQuit();
    EXPECT_TRUE(installation.exists("hostcheck-main.returned")) << "quit was answered before main returned";
    EXPECT_FALSE(installation.exists("worker.ended"));
    EXPECT_TRUE(javaHost.waitForEnd());
    EXPECT_TRUE(installation.exists("worker.ended")) << "DestroyJavaVM returned before the worker ended";
    EXPECT_NE(errors.text().find("VM DESTROYED !!"), std::string::npos);
}

TEST_F(RealJvm, HeapDumpOfARealOutOfMemoryErrorIsNoticed) {
    // A small heap, below the usual initial heap of 64 MB, which the VM would refuse.
    installation.write("system/config/heapsize.param", "48");
    Event noticed(Event::Reset::Manual);
    ThreadWatchForOOM watcher([&noticed] { noticed.set(); });
    ThreadStartVM javaHost;
    configureLikeTheLauncher(javaHost, log);
    javaHost.setMainClass(kHostCheck);
    javaHost.start();
    EXPECT_EQ(callWithText(javaHost, L"vmOption", L"MaxHeapSize"), L"50331648 VM_CREATION");
    EXPECT_EQ(callWithText(javaHost, L"vmOption", L"InitialHeapSize"), L"50331648 VM_CREATION");
    EXPECT_EQ(javaHost.callStaticStringMethod(L"exhaustHeap"), L"java.lang.OutOfMemoryError");
    const auto dumped = std::chrono::steady_clock::now();
    const std::string dump = "java_pid" + std::to_string(currentProcessId()) + ".hprof";
    EXPECT_TRUE(installation.exists(dump));
    EXPECT_EQ(ThreadWatchForOOM::heapDumpPath(), currentFolder() + fromUtf8(dump));
    // The watcher looks once a second.
    ASSERT_TRUE(noticed.wait(5000));
    const auto seen = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - dumped);
    std::cout << "[ figure ] heap dump noticed " << seen.count() << " ms after the call returned\n";
    javaHost.postQuit();
    EXPECT_TRUE(javaHost.waitForEnd());
}

} // namespace
} // namespace ornivel::test
