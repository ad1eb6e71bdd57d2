#include <gtest/gtest.h>

#include "jvm/JavaMainThread.h"
#include "tests/support/TestSupport.h"

using namespace ornivel;
using namespace ornivel::test;

TEST(ThreadStartVM, NeverStartedAnswersAtOnceAndEndsAtOnce) {
    EXPECT_TRUE(finishesWithin(30000, [] {
        ThreadStartVM javaHost;
        EXPECT_EQ(javaHost.callStaticStringMethod(L"getError"), L"");
        javaHost.postQuit();
        EXPECT_TRUE(javaHost.waitForEnd(INFINITE));
    }));
}

TEST(ThreadStartVM, ConfigurationIsKeptAndPropertiesAreReplacedByName) {
    ThreadStartVM javaHost;
    javaHost.setSystemProperty(L"file.encoding", L"UTF-8");
    javaHost.setSystemProperty(L"file.encoding", L"Cp1252");
    javaHost.addJvmOption(L"-Xss2m");
    javaHost.addArgument(L"-hold");
    javaHost.setMainClass(L"a.b.C");
    javaHost.setHeapSizeMb(768);
    EXPECT_EQ(javaHost.systemProperties().at(L"file.encoding"), L"Cp1252");
    EXPECT_EQ(javaHost.systemProperties().size(), 1u);
    EXPECT_EQ(javaHost.jvmOptions(), std::vector<std::wstring>{L"-Xss2m"});
    EXPECT_EQ(javaHost.heapSizeMb(), 768);
}

TEST(ThreadStartVM, WithoutRuntimeTheThreadEndsAndCallsDoNotHang) {
    TempFolder installation;
    WorkingFolder inside(installation.path());
    auto* capture = new CapturingAppender();
    LogDriver log(L"test");
    log.addAppender(capture);
    ThreadStartVM javaHost;
    javaHost.setLogDriver(log);
    javaHost.setMainClass(L"de.torbenwald.zolp.adm.Adm");
    javaHost.start();
    ASSERT_TRUE(finishesWithin(30000, [&javaHost] {
        EXPECT_EQ(javaHost.callStaticStringMethod(L"getError"), L"");
        EXPECT_EQ(javaHost.callStaticStringMethod(L"getError"), L"");
        javaHost.postQuit();
        EXPECT_TRUE(javaHost.waitForEnd(INFINITE));
    }));
    EXPECT_TRUE(capture->has(LOG_INFO, L"ThreadStartVM"));
    EXPECT_TRUE(capture->has(LOG_DEBUG, L"runVMDll"));
    EXPECT_TRUE(capture->has(LOG_ERROR, L"Could not find JVM, exiting..."));
    EXPECT_TRUE(capture->has(LOG_INFO, L"ThreadStartVM 2"));
    EXPECT_FALSE(capture->has(LOG_INFO, L"ThreadStartVM methode main"));
}
