#include <gtest/gtest.h>

#include "sync/DeploymentServerInfo.h"
#include "sync/ServerFile.h"
#include "tests/support/TestSupport.h"

namespace ornivel {
namespace {

TEST(ServerList, OneHttpServer) {
    auto servers = parseServerList(L"http|h|/deploy|8080|||");
    ASSERT_EQ(servers.size(), 1u);
    EXPECT_EQ(servers[0].type, L"http");
    EXPECT_EQ(servers[0].host, L"h");
    EXPECT_EQ(servers[0].path, L"/deploy");
    EXPECT_EQ(servers[0].port, 8080);
    EXPECT_EQ(servers[0].userName, L"");
    EXPECT_EQ(servers[0].password, L"");
    EXPECT_EQ(servers[0].label, L"");
    EXPECT_EQ(servers[0].displayName(), L"h");
}

TEST(ServerList, LabelsGoToTheServersInOrder) {
    auto servers = parseServerList(L"https|H|P|443|||net||\\\\srv\\share|0|user|secret|L1~L2|");
    ASSERT_EQ(servers.size(), 2u);
    EXPECT_EQ(servers[1].type, L"net");
    EXPECT_EQ(servers[1].path, L"\\\\srv\\share");
    EXPECT_EQ(servers[1].userName, L"user");
    EXPECT_EQ(servers[1].password, L"secret");
    EXPECT_EQ(servers[0].displayName(), L"L1");
    EXPECT_EQ(servers[1].displayName(), L"L2");

    auto share = parseServerList(L"net||\\\\srv\\s|0|||Share A|");
    ASSERT_EQ(share.size(), 1u);
    EXPECT_EQ(share[0].displayName(), L"Share A");

    // Extra labels are ignored, empty ones between separators skipped, other fields of the
    // group ignored.
    auto three = parseServerList(L"http|a|/|80|||http|b|/|80|||x~~y~z|ignored|");
    ASSERT_EQ(three.size(), 2u);
    EXPECT_EQ(three[0].label, L"x");
    EXPECT_EQ(three[1].label, L"y");
    auto abc = parseServerList(L"http|a|/|80|||http|b|/|80|||a~b~c|");
    EXPECT_EQ(abc[0].label, L"a");
    EXPECT_EQ(abc[1].label, L"b");
    // A label list far beyond 1,024 characters is taken whole.
    std::wstring longLabel(5000, L'L');
    auto long1 = parseServerList(L"http|a|/|80|||" + longLabel + L"|");
    EXPECT_EQ(long1[0].label, longLabel);
}

TEST(ServerList, ShortLastRecordBecomesTheLabelGroup) {
    auto servers = parseServerList(L"http|a|/|80|||inet|b|/p|81|u|pw");
    ASSERT_EQ(servers.size(), 1u);
    EXPECT_EQ(servers[0].label, L"inet");
    EXPECT_EQ(servers[0].displayName(), L"inet");
}

TEST(ServerList, MaskingHidesTheCredentialsOfEveryParsedRecord) {
    EXPECT_EQ(maskedServerList(L"http|h|/d|80|||net||\\\\srv\\s|0|user|pw|L1~L2|x"),
              L"http|h|/d|80|||net||\\\\srv\\s|0|***|***|L1~L2|x");
    EXPECT_EQ(maskedServerList(std::string("OK")), "OK");
    // Code page 932: the second byte of U+30DD is "|". Read as characters, that byte is no
    // separator, so no tail of the password shows as a field of its own.
    const char bytes[] = "net||\\\\srv\\s|0|user|\x83\x7Ctail|";
    wchar_t wide[64] = {};
    ASSERT_GT(MultiByteToWideChar(932, 0, bytes, -1, wide, 64), 0);
    ASSERT_EQ(parseServerList(wide).at(0).password, L"\x30DDtail");
    EXPECT_EQ(maskedServerList(std::wstring(wide)), L"net||\\\\srv\\s|0|***|***|");
}

TEST(ServerList, DisplayNameComparesTheTypeExactly) {
    DeploymentServerInfo server(L"host", L"\\\\unc", L"HTTP", 80, L"", L"");
    EXPECT_EQ(server.displayName(), L"");
    server.type = L"inet";
    EXPECT_EQ(server.displayName(), L"host");
    server.type = L"net";
    EXPECT_EQ(server.displayName(), L"\\\\unc");
    server.type = L"ftp";
    EXPECT_EQ(server.displayName(), L"");
    server.label = L"Label";
    EXPECT_EQ(server.displayName(), L"Label");
}

TEST(ServerList, PortField) {
    EXPECT_EQ(parsePortField(L"abc"), 0);
    EXPECT_EQ(parsePortField(L""), 0);
    EXPECT_EQ(parsePortField(L"  \t+8080x"), 8080);
    EXPECT_EQ(parsePortField(L"-12"), -12);
    EXPECT_EQ(parsePortField(L"99999999999999999999"), 2147483647);
    EXPECT_EQ(parsePortField(L"-99999999999999999999"), -2147483647 - 1);
    EXPECT_EQ(parseServerList(L"http|h|/|port|||")[0].port, 0);
}

TEST(ServerList, DegenerateAnswers) {
    EXPECT_TRUE(parseServerList(L"").empty());
    EXPECT_TRUE(parseServerList(L"OK ").empty());
    EXPECT_TRUE(parseServerList(L"||||").empty());
    EXPECT_TRUE(parseServerList(std::wstring(100000, L'|')).size() == 100000 / 6);
    EXPECT_TRUE(parseServerList(std::wstring(100000, L'~')).empty());
    auto empties = parseServerList(L"||||||");
    ASSERT_EQ(empties.size(), 1u);
    EXPECT_EQ(empties[0].displayName(), L"");
}

TEST(ServerFile, FirstTokenOnly) {
    EXPECT_EQ(firstToken("http://deploy.example/check"), "http://deploy.example/check");
    EXPECT_EQ(firstToken("\r\n\t http://a/b c d\n"), "http://a/b");
    EXPECT_EQ(firstToken("   \n"), "");
    EXPECT_EQ(firstToken(std::string("http://a\0/b", 11)), "http://a");

    test::TempFolder folder{L"srvfile"};
    folder.write(L"ornivel-Server.dat", "  http://host:8080/check/\r\nsecond line\r\n");
    std::string url = "old";
    ASSERT_TRUE(readServerUrl(folder / L"ornivel-Server.dat", url));
    EXPECT_EQ(url, "http://host:8080/check/");
    // Written by the company chooser: no line end.
    folder.write(L"ornivel-Server.dat", "http://company.example/");
    ASSERT_TRUE(readServerUrl(folder / L"ornivel-Server.dat", url));
    EXPECT_EQ(url, "http://company.example/");
    // A token longer than any read chunk.
    const std::string longUrl = "http://h/" + std::string(20000, 'p');
    folder.write(L"ornivel-Server.dat", longUrl + " tail");
    ASSERT_TRUE(readServerUrl(folder / L"ornivel-Server.dat", url));
    EXPECT_EQ(url, longUrl);
    EXPECT_FALSE(readServerUrl(folder / L"missing.dat", url));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

} // namespace
} // namespace ornivel
