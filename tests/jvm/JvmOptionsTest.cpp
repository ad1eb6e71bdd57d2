#include <gtest/gtest.h>

#include "jvm/JvmOptions.h"

using namespace ornivel;

TEST(JvmOptions, FixedOptionsThenRawOptionsThenPropertiesSortedByName) {
    std::map<std::wstring, std::wstring> properties{{L"logback.configurationFile", L"C:\\inst\\system\\config\\logback.xml"},
                                                    {L"java.net.preferIPv4Stack", L"true"},
                                                    {L"file.encoding", L"UTF-8"},
                                                    {L"java.library.path", L"C:\\inst\\system\\dll"}};
    auto options = buildJvmOptions(L"module/a.jar;system/jar/b.jar;", 512, {L"-Xss2m", L"-Dzz=raw"}, properties);
    std::vector<std::wstring> expected{L"-Djava.class.path=module/a.jar;system/jar/b.jar;",
                                       L"-Xmx512m",
                                       L"-XX:+UseConcMarkSweepGC",
                                       L"-XX:+UseParNewGC",
                                       L"-Xms64m",
                                       L"-XX:+HeapDumpOnOutOfMemoryError",
                                       L"-Xss2m",
                                       L"-Dzz=raw",
                                       L"-Dfile.encoding=UTF-8",
                                       L"-Djava.library.path=C:\\inst\\system\\dll",
                                       L"-Djava.net.preferIPv4Stack=true",
                                       L"-Dlogback.configurationFile=C:\\inst\\system\\config\\logback.xml"};
    EXPECT_EQ(options, expected);
}

TEST(JvmOptions, EmptyClassPathGivesAnEmptyValueAndNamesSortByCodeUnit) {
    auto options = buildJvmOptions(L"", 256, {}, {{L"b", L"2"}, {L"Z", L"3"}, {L"a", L""}});
    ASSERT_EQ(options.size(), 9u);
    EXPECT_EQ(options[0], L"-Djava.class.path=");
    EXPECT_EQ(options[1], L"-Xmx256m");
    // Upper case sorts before lower case: code unit order, not a locale's.
    EXPECT_EQ(options[6], L"-DZ=3");
    EXPECT_EQ(options[7], L"-Da=");
    EXPECT_EQ(options[8], L"-Db=2");
}

TEST(JvmOptions, TheInitialHeapIsNeverLargerThanTheMaximum) {
    EXPECT_EQ(buildJvmOptions(L"", 64, {}, {})[4], L"-Xms64m");
    EXPECT_EQ(buildJvmOptions(L"", 48, {}, {})[4], L"-Xms48m");
    EXPECT_EQ(buildJvmOptions(L"", 0, {}, {})[4], L"-Xms64m");  // -Xmx0m is refused on its own
}

TEST(JvmOptions, LongValuesAreKeptWhole) {
    std::wstring classPath;
    while (classPath.size() < 200000) classPath += L"module/some-rather-long-library-name.jar;";
    std::wstring value(30000, L'x');
    auto options = buildJvmOptions(classPath, 1024, {}, {{L"long", value}});
    EXPECT_EQ(options[0], L"-Djava.class.path=" + classPath);
    EXPECT_EQ(options.back(), L"-Dlong=" + value);
}
