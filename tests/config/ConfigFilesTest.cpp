#include <gtest/gtest.h>

#include "config/ConfigFiles.h"
#include "tests/support/TestSupport.h"

namespace ornivel {
namespace {

using Properties = std::vector<Property>;

TEST(PropertyLine, ExactlyOneEqualsSignMakesAProperty) {
    auto p = splitPropertyLine("a=");
    ASSERT_TRUE(p);
    EXPECT_EQ(p->first, "a");
    EXPECT_EQ(p->second, "");
    p = splitPropertyLine(" a = b ");
    ASSERT_TRUE(p);
    EXPECT_EQ(p->first, " a ");
    EXPECT_EQ(p->second, " b ");
    p = splitPropertyLine("#comment=x");
    ASSERT_TRUE(p);
    EXPECT_EQ(p->first, "#comment");
    EXPECT_FALSE(splitPropertyLine("a=b=c"));
    EXPECT_FALSE(splitPropertyLine("no equals"));
    EXPECT_FALSE(splitPropertyLine(""));
}

TEST(HeapSize, FromTheParameterFile) {
    EXPECT_EQ(heapSizeFromText("512"), 512);
    EXPECT_EQ(heapSizeFromText("  \n 768MB and more"), 768);
    EXPECT_EQ(heapSizeFromText("-5"), -5);
    EXPECT_EQ(heapSizeFromText(""), 160);
    EXPECT_EQ(heapSizeFromText(" \r\n\t "), 160);
    EXPECT_EQ(heapSizeFromText("abc"), 0);
    EXPECT_EQ(heapSizeFromText("99999999999999"), 2147483647);
}

TEST(HeapSize, FromThePhysicalMemory) {
    const uint32_t mb = 1u << 20;
    EXPECT_EQ(heapSizeFromPhysicalMemory(256 * mb), 160);
    EXPECT_EQ(heapSizeFromPhysicalMemory(512 * mb), 160);
    EXPECT_EQ(heapSizeFromPhysicalMemory(1024 * mb), 211);
    EXPECT_EQ(heapSizeFromPhysicalMemory(1536 * mb), 262);
    EXPECT_EQ(heapSizeFromPhysicalMemory(2047 * mb), 313);
    EXPECT_EQ(heapSizeFromPhysicalMemory(0xFFFFFFFFu), 518);
}

TEST(HeapSize, LargeMachinesCountAsTheLargest32BitValue) {
    EXPECT_EQ(physicalMemory32(24ull << 30), 0xFFFFFFFFu);
    EXPECT_EQ(physicalMemory32(1ull << 30), 1u << 30);
    EXPECT_EQ(heapSizeFromPhysicalMemory(physicalMemory32(64ull << 30)), 518);
}

TEST(ServerInfoLine, WellFormedShapes) {
    ServerInfo s = ServerInfo::fromLine(L"srv01|8080|Production");
    EXPECT_EQ(s.host(), L"srv01");
    EXPECT_EQ(s.port(), 8080);
    EXPECT_EQ(s.caption(), L"Production");
    EXPECT_EQ(s.extra(), -1);
    s = ServerInfo::fromLine(L"srv01|8080|Production|3");
    EXPECT_EQ(s.caption(), L"Production");
    EXPECT_EQ(s.extra(), 3);
}

TEST(ServerInfoLine, ShortShapes) {
    ServerInfo s = ServerInfo::fromLine(L"srv01|8080");
    EXPECT_EQ(s.host(), L"srv01");
    EXPECT_EQ(s.port(), 8080);
    EXPECT_EQ(s.caption(), L"srv01");
    EXPECT_EQ(s.extra(), 8080);

    s = ServerInfo::fromLine(L"42host");
    EXPECT_EQ(s.host(), L"42host");
    EXPECT_EQ(s.caption(), L"42host");
    EXPECT_EQ(s.port(), 42);
    EXPECT_EQ(s.extra(), -1);

    s = ServerInfo::fromLine(L"h| -7x|c|+9");
    EXPECT_EQ(s.port(), -7);
    EXPECT_EQ(s.extra(), 9);
    s = ServerInfo::fromLine(L"h|port|c");
    EXPECT_EQ(s.port(), 0);
}

class ConfigFolder : public ::testing::Test {
protected:
    test::TempFolder folder{L"cfg"};
};

TEST_F(ConfigFolder, PropertiesReplaceEarlierValuesAndSkipOtherLines) {
    folder.write(L"system.properties",
                 "file.encoding=Cp1252\r\na=b=c\r\nplain line\r\n a = b \r\nempty=\r\nx=1\r\nx=2");
    EXPECT_EQ(readPropertiesFile(folder / L"system.properties"),
              (Properties{{L"file.encoding", L"Cp1252"}, {L" a ", L" b "}, {L"empty", L""}, {L"x", L"1"}, {L"x", L"2"}}));
}

TEST_F(ConfigFolder, PropertiesAreReadThroughTheAnsiCodePage) {
    folder.write(L"system.properties", "user.name=J\xfcrgen\n");
    EXPECT_EQ(readPropertiesFile(folder / L"system.properties"), (Properties{{L"user.name", L"J\u00fcrgen"}}));
}

TEST_F(ConfigFolder, JvmOptionsKeepEveryLineInOrder) {
    folder.write(L"jvm.properties", "-Xss2m\r\n\r\n-Dx=y\r\n-verbose");
    EXPECT_EQ(readJvmOptionsFile(folder / L"jvm.properties"),
              (std::vector<std::wstring>{L"-Xss2m", L"", L"-Dx=y", L"-verbose"}));
}

TEST_F(ConfigFolder, MissingFilesChangeNothing) {
    EXPECT_TRUE(readPropertiesFile(folder / L"absent").empty());
    EXPECT_TRUE(readJvmOptionsFile(folder / L"absent").empty());
    EXPECT_TRUE(readServerList(folder / L"absent").empty());
}

TEST_F(ConfigFolder, HeapSizeFileWinsOverMemory) {
    folder.write(L"heapsize.param", "512\n");
    EXPECT_EQ(readHeapSizeMb(folder / L"heapsize.param"), 512);
    folder.write(L"empty.param", "");
    EXPECT_EQ(readHeapSizeMb(folder / L"empty.param"), 160);
    int fromMemory = readHeapSizeMb(folder / L"absent.param");
    EXPECT_GE(fromMemory, 160);
    EXPECT_LE(fromMemory, 518);
}

TEST_F(ConfigFolder, ServerListSkipsBlankLines) {
    folder.write(L"server.ini", "srv01|8080|Production\r\n\r\n   \t\r\nsrv02|9090|Test|3\r\n");
    std::vector<ServerInfo> servers = readServerList(folder / L"server.ini");
    ASSERT_EQ(servers.size(), 2u);
    EXPECT_EQ(servers[0].caption(), L"Production");
    EXPECT_EQ(servers[1].host(), L"srv02");
    EXPECT_EQ(servers[1].extra(), 3);
}

TEST_F(ConfigFolder, VeryLongLinesAreReadWhole) {
    std::string value(10000, 'v');
    folder.write(L"system.properties", "long=" + value + "\n");
    const auto properties = readPropertiesFile(folder / L"system.properties");
    ASSERT_EQ(properties.size(), 1u);
    EXPECT_EQ(properties[0].second.size(), value.size());
}

} // namespace
} // namespace ornivel
