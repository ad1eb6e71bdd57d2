// The Java main thread against the stand-in runtime, each case in a fresh host process.
#include <gtest/gtest.h>

#include "common/Text.h"
#include "tests/jvm/JvmHostRun.h"

using namespace ornivel;
using namespace ornivel::test;
using standin::Record;
using standin::Scenario;

namespace {

const char* const kAdm = "de.torbenwald.zolp.adm.Adm";
const char* const kStandard = "de.torbenwald.zolp.launcher.Launcher";

std::string mainClassStep(const char* name) { return std::string("main-class\t") + name + "\n"; }

void expectCleanRecord(const Record& record) {
    EXPECT_TRUE(record.errors().empty()) << record.text();
    EXPECT_EQ(record.first("localrefs"), (Record::Line{"localrefs", "0"})) << record.text();
    EXPECT_EQ(record.first("utfchars"), (Record::Line{"utfchars", "0"})) << record.text();
}

} // namespace

TEST(JavaMainThread, OptionsReachTheRuntimeInOrder) {
    TempFolder installation;
    standin::install(installation);
    HostOutput out = runHost(installation,
                             "classpath\tmodule/a.jar;system/jar/b.jar;module/sub;\n"
                             "heap\t512\n"
                             "option\t-Xss2m\n"
                             "option\t-Dzz.raw=1\n"
                             "property\tlogback.configurationFile\tC:\\inst\\system\\config\\logback.xml\n"
                             "property\tjava.net.preferIPv4Stack\ttrue\n"
                             "property\tjava.library.path\tC:\\inst\\system\\dll\n"
                             "property\tfile.encoding\tUTF-8\n" +
                                 mainClassStep(kAdm) + "start\nquit\nwait\n");
    EXPECT_EQ(out.process.status(), 3);
    Record record = Record::read(installation);
    std::vector<std::string> expected{"-Djava.class.path=module/a.jar;system/jar/b.jar;module/sub;",
                                      "-Xmx512m",
                                      "-XX:+UseConcMarkSweepGC",
                                      "-XX:+UseParNewGC",
                                      "-Xms64m",
                                      "-XX:+HeapDumpOnOutOfMemoryError",
                                      "-Xss2m",
                                      "-Dzz.raw=1",
                                      "-Dfile.encoding=UTF-8",
                                      "-Djava.library.path=C:\\inst\\system\\dll",
                                      "-Djava.net.preferIPv4Stack=true",
                                      "-Dlogback.configurationFile=C:\\inst\\system\\config\\logback.xml"};
    EXPECT_EQ(record.options(), expected);
    EXPECT_EQ(record.first("create-args"), (Record::Line{"create-args", "0x000A0000", "12", "ignoreUnrecognized"}));
    EXPECT_EQ(record.mainClass(), "de/torbenwald/zolp/adm/Adm");
    EXPECT_EQ(record.first("main"), (Record::Line{"main", "de/torbenwald/zolp/adm/Adm", "0"}));
    EXPECT_TRUE(record.has("destroy-end"));
    expectCleanRecord(record);

    const std::string path = toUtf8(installation.path()) + "java_17.0.1\\bin\\client\\jvm.dll";
    EXPECT_TRUE(out.logHas("info   |Using JVM Path: \"" + path + "\"") || out.log.find("Using JVM Path: \"" + path + "\"") != std::string::npos)
        << out.log;
    EXPECT_NE(out.log.find("_classpath = module/a.jar;system/jar/b.jar;module/sub;"), std::string::npos) << out.log;
    EXPECT_NE(out.log.find("JNI_CreateJavaVM returned 0"), std::string::npos) << out.log;
    for (const char* line : {"ThreadStartVM", "ThreadStartVM 2", "ThreadStartVM methode main",
                             "ThreadStartVM AttachToCurrentThread", "ThreadStartVM CallMainMethod"})
        EXPECT_NE(out.log.find(std::string("|") + line + "\r\n"), std::string::npos) << line << "\n" << out.log;
}

TEST(JavaMainThread, EmptyClassPathAndStandardArguments) {
    TempFolder installation;
    standin::install(installation);
    Scenario scenario;
    scenario.outcomes = {"never"};
    standin::writeScenario(installation, scenario);
    HostOutput out = runHost(installation, mainClassStep(kStandard) + "argument\t-hold\nargument\tlauncher.dat\nstart\nquit\nexit\n");
    EXPECT_EQ(out.process.status(), 3);
    EXPECT_FALSE(out.process.timedOut);
    Record record = Record::read(installation);
    ASSERT_FALSE(record.options().empty());
    EXPECT_EQ(record.options()[0], "-Djava.class.path=");
    EXPECT_EQ(record.first("main"),
              (Record::Line{"main", "de/torbenwald/zolp/launcher/Launcher", "2", "-hold", "launcher.dat"}));
}

TEST(JavaMainThread, QuitPostedWhileMainRunsIsAnsweredAfterMainAndWaitOutlastsTheClient) {
    TempFolder installation;
    standin::install(installation);
    Scenario scenario;
    scenario.mainMs = 1500;
    scenario.clientMs = 1200;
    standin::writeScenario(installation, scenario);
    HostOutput out = runHost(installation, mainClassStep(kAdm) + "start\nquit\nwait\n");
    EXPECT_EQ(out.process.status(), 3);
    const long long started = out.at("started"), quit = out.at("quit"), waited = out.at("wait");
    EXPECT_GE(quit - started, 1400) << "quit answered before main returned";
    EXPECT_GE(waited - quit, 1000) << "waitForEnd returned before the client's thread ended";
    Record record = Record::read(installation);
    ASSERT_GE(record.indexOf("main-return"), 0);
    EXPECT_LT(record.indexOf("main-return"), record.indexOf("destroy-begin"));
    EXPECT_TRUE(record.has("window-shown"));
    EXPECT_LT(record.indexOf("client-end"), record.indexOf("destroy-end"));
    expectCleanRecord(record);
}

TEST(JavaMainThread, CallResultsByReturnType) {
    TempFolder installation;
    standin::install(installation);
    Scenario scenario;
    scenario.resetPw = true;
    standin::writeScenario(installation, scenario);
    HostOutput out = runHost(installation,
                             mainClassStep(kAdm) +
                                 "start\n"
                                 "string-call\treturnNull\n"
                                 "call\tresetPW\t(Ljava/lang/String;ILjava/lang/String;)Z\ts:srv01\ti:8080\ts:anna@example.com\n"
                                 "string-call\tnoSuchMethod\n"
                                 "call\tgetError\t()Ljava/lang/String;\n"
                                 "call\techo\t(Ljava/lang/String;)Ljava/lang/String;\ts:Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC \xF0\x9F\x98\x80\n"
                                 "call\tdescribe\t(Ljava/lang/String;ILjava/lang/String;)Ljava/lang/String;\ta:host\ti:-7\ts:x\n"
                                 "call\tjoinSix\t(IIIIII)Ljava/lang/String;\ti:1\ti:2\ti:3\ti:4\ti:5\ti:6\n"
                                 "call\tintegerObject\t()Ljava/lang/Object;\n"
                                 "string-call\tthrowing\n"
                                 "call\tcount\t()I\n"
                                 "call\techo\t(Ljava/lang/String;)Ljava/lang/String;\n"
                                 "call\techo\tnot a signature\ts:x\n"
                                 "string-call\tgetError\n"
                                 "quit\nwait\n");
    EXPECT_EQ(out.process.status(), 3);
    EXPECT_EQ(out.result("returnNull"), "");
    EXPECT_EQ(out.result("resetPW"), "true");
    EXPECT_EQ(out.result("noSuchMethod"), "");
    EXPECT_EQ(out.result("getError"), "");
    EXPECT_EQ(out.result("echo"), "Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC \xF0\x9F\x98\x80");
    EXPECT_EQ(out.result("describe"), "host:-7:x");
    EXPECT_EQ(out.result("joinSix"), "1,2,3,4,5,6");
    EXPECT_EQ(out.result("integerObject"), "");
    EXPECT_EQ(out.result("throwing"), "");
    EXPECT_EQ(out.result("count"), "");
    EXPECT_EQ(out.result("echo", 1), "");  // too few arguments: not called
    EXPECT_EQ(out.result("echo", 2), "");  // malformed signature: not called
    EXPECT_EQ(out.result("getError", 1), "");

    Record record = Record::read(installation);
    auto calls = record.all("call");
    bool resetSeen = false;
    int echoCalls = 0;
    for (const auto& call : calls) {
        if (call[2] == "resetPW") {
            resetSeen = true;
            EXPECT_EQ(call, (Record::Line{"call", "de/torbenwald/zolp/adm/Adm", "resetPW",
                                          "(Ljava/lang/String;ILjava/lang/String;)Z", "srv01", "8080", "anna@example.com"}));
        }
        if (call[2] == "echo") ++echoCalls;
    }
    EXPECT_TRUE(resetSeen);
    EXPECT_EQ(echoCalls, 1);
    // The unknown method and the thrown exception were cleared before the next call.
    EXPECT_EQ(record.all("exception-cleared").size(), 2u) << record.text();
    expectCleanRecord(record);
    // Repeated failures are logged once.
    EXPECT_NE(out.log.find("noSuchMethod"), std::string::npos);
}

TEST(JavaMainThread, ResetPasswordCanAnswerFalseAndPendingNullOrEmptyGiveEmptyText) {
    TempFolder installation;
    standin::install(installation);
    Scenario scenario;
    scenario.resetPw = false;
    scenario.pendingNull = false;
    standin::writeScenario(installation, scenario);
    HostOutput out = runHost(installation, mainClassStep(kStandard) +
                                               "argument\t-hold\nargument\tlauncher.dat\nstart\n"
                                               "call\tresetPW\t(Ljava/lang/String;ILjava/lang/String;)Z\ts:h\ti:1\ts:m\n"
                                               "string-call\tgetError\n"
                                               "string-call\tresetError\nexit\n");
    EXPECT_FALSE(out.process.timedOut);
    EXPECT_EQ(out.result("resetPW"), "false");
    EXPECT_EQ(out.result("getError"), "");
    EXPECT_EQ(out.result("resetError"), "");
    Record record = Record::read(installation);
    EXPECT_TRUE(record.has("return"));
    // No quit was posted: the host ended without destroying the VM, the client still waiting
    // (its thread may not even have recorded its start before the host ended).
    EXPECT_FALSE(record.has("destroy-begin"));
    EXPECT_FALSE(record.has("client-end"));
}

TEST(JavaMainThread, LoginOutcomesInSequence) {
    TempFolder installation;
    standin::install(installation);
    Scenario scenario;
    scenario.outcomes = {"IOException", "WrongUserOrPasswordException", "success"};
    scenario.outcomeDelayMs = 100;
    scenario.clientMs = 300;
    standin::writeScenario(installation, scenario);
    std::string attempt = "write\tlauncher.dat\tOGM -1 0061 d41d8cd98f00b204e9800998ecf8427e srv01 8080 0050 -1\\r\\n<end>\\r\\n\n"
                          "poll\tgetError\nstring-call\tresetError\nstring-call\tgetError\n";
    HostOutput out = runHost(installation, mainClassStep(kStandard) +
                                               "argument\t-hold\nargument\tlauncher.dat\nstart\n"
                                               "string-call\tgetError\n" +
                                               attempt + attempt + attempt + "quit\nwait\n");
    EXPECT_EQ(out.process.status(), 3);
    EXPECT_EQ(out.result("getError", 0), "");  // before any record: pending (null)
    EXPECT_NE(out.result("getError", 1).find("IOException"), std::string::npos);
    EXPECT_EQ(out.result("getError", 2), "");  // cleared by resetError
    EXPECT_NE(out.result("getError", 3).find("WrongUserOrPasswordException"), std::string::npos);
    EXPECT_EQ(out.result("getError", 5), "LoginOK");
    EXPECT_GE(out.at("wait") - out.at("quit"), 200);  // the client's window stayed a while
    Record record = Record::read(installation);
    auto records = record.loginRecords();
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0], "OGM -1 0061 d41d8cd98f00b204e9800998ecf8427e srv01 8080 0050 -1\r\n<end>\r\n");
    EXPECT_FALSE(installation.exists(L"launcher.dat"));
    EXPECT_TRUE(record.has("window-shown"));
    expectCleanRecord(record);
}

TEST(JavaMainThread, MissingMainClassIsLoggedAndCallsStillAnswer) {
    TempFolder installation;
    standin::install(installation);
    Scenario scenario;
    scenario.hiddenClasses = {"de/torbenwald/zolp/adm/Adm"};
    standin::writeScenario(installation, scenario);
    HostOutput out = runHost(installation, mainClassStep(kAdm) + "start\nstring-call\tgetError\nquit\nwait\n");
    EXPECT_EQ(out.process.status(), 3);
    EXPECT_EQ(out.result("getError"), "");
    EXPECT_NE(out.log.find("error  |Main class de.torbenwald.zolp.adm.Adm not found."), std::string::npos) << out.log;
    Record record = Record::read(installation);
    EXPECT_FALSE(record.has("main"));
    expectCleanRecord(record);
}

