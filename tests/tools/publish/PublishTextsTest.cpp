// The texts a publication consists of: the file list as the launcher reads it, the version
// answers, the nginx fragment, the command line, the publisher's state, and the UTF-16 and
// UTF-8 conversion under the digest of texts; and the fleet read from the reports' log.
#include <gtest/gtest.h>

#include <string>

#include "FleetReports.h"
#include "NginxFragment.h"
#include "PublishOptions.h"
#include "PublishState.h"
#include "Signing.h"
#include "VersionAnswers.h"
#include "filelist/FileListReader.h"
#include "filelist/FileListScanner.h"
#include "filelist/ListSignature.h"
#include "filelist/ListWriter.h"
#include "filelist/Md5.h"
#include "common/Utf16.h"

namespace ornivel::publish {
namespace {

TEST(PublishTexts, ListEntriesAreWhatTheLaunchersReaderTakes) {
    EXPECT_EQ(listTimeText(listTimeOfUnixSeconds(0)), "01.01.1970 00:00:00");
    EXPECT_EQ(listTimeText(listTimeOfUnixSeconds(-1)), "31.12.1969 23:59:59");
    EXPECT_EQ(listTimeText(listTimeOfUnixSeconds(1709164800 + 3600 + 61)), "29.02.2024 01:01:01");
    EXPECT_EQ(listTimeText(listTimeOfUnixSeconds(4102444800LL)), "01.01.2100 00:00:00");
    EXPECT_EQ(listTimeText(listTimeOfUnixSeconds(-20000000000LL)), "02.01.1601 00:00:00");

    const std::string entry = fileListEntry("a/M\xc3\xbcller & <S\xc3\xb6hne>/\"it's\".txt", listTimeOfUnixSeconds(0),
                                            5000000000ULL, "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(entry, "  <File Path=\"a\\M\xc3\xbcller &amp; &lt;S\xc3\xb6hne&gt;\\&quot;it&apos;s&quot;.txt\" "
                     "TimestampGMT=\"01.01.1970 00:00:00\" Size=\"5000000000\" "
                     "checksum=\"d41d8cd98f00b204e9800998ecf8427e\"/>\r\n");
    const std::string list = std::string(kFileListStart) + entry + entry + kFileListEnd;
    const FileListScan scan = scanFileList(list);
    EXPECT_EQ(scan.result, FileListScan::Complete);
    EXPECT_TRUE(scan.declaration.empty());
    EXPECT_FALSE(scan.byteOrderMark);
    EXPECT_EQ(scan.entries.size(), 2u);
    EXPECT_EQ(list.rfind("<FileList>", 0), 0u) << "the list element comes first";

    // A signed list: the entries' SHA-256, and the list element's expiry and servers.
    const std::string sha256 = sha256HexOfBytes("");
    ListHeader header;
    header.serial = 1700000000;
    header.expires = 1702592000;
    header.servers = "https|h&co|/d|443|||Label \"A\"|";
    std::string signedList = fileListStart(header) +
                             fileListEntry("a.jar", listTimeOfUnixSeconds(0), 0, md5HexOfBytes(""), sha256) +
                             kFileListEnd;
    EXPECT_NE(signedList.find("checksum=\"d41d8cd98f00b204e9800998ecf8427e\" sha256=\"" + sha256 + "\"/>"),
              std::string::npos);
    ListElementText element;
    std::vector<ListEntryText> entries;
    ASSERT_TRUE(readFileListText(signedList, element, [&entries](const ListEntryText& e) { entries.push_back(e); }));
    EXPECT_EQ(element.serial, 1700000000u);
    EXPECT_EQ(element.expires, 1702592000u);
    EXPECT_EQ(element.servers, header.servers);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].sha256, sha256);
    EXPECT_EQ(entries[0].checksum, "d41d8cd98f00b204e9800998ecf8427e");
}

TEST(PublishTexts, Utf16AndUtf8) {
    const std::wstring units = {L'a', L'b', L'c', wchar_t(0xD835), wchar_t(0xDC9C)};
    EXPECT_EQ(utf8OfUtf16(units), "abc\xf0\x9d\x92\x9c");
    std::wstring back;
    ASSERT_TRUE(utf16OfUtf8("abc\xf0\x9d\x92\x9c", back));
    EXPECT_EQ(toUtf16(back), toUtf16(units));  // one code point where a wide character holds one
    // The digest of a text is the one of its UTF-8 bytes (93ea... by md5sum).
    EXPECT_EQ(md5HexOfText(units), L"93ea4c0b4afb60847e74e9a077d9b30f");
    // A lone surrogate becomes U+FFFD, as the system's conversion makes it (ef17... by md5sum).
    const std::wstring lone = {L'a', wchar_t(0xDC9C)};
    EXPECT_EQ(md5HexOfText(lone), L"ef175e9b596d296034dda690087252f8");
    std::string strict;
    EXPECT_FALSE(strictUtf8OfUtf16(lone, strict));
    for (const char* bad : {"\xc0\xaf", "\xe0\x80\xaf", "\xed\xa0\x80", "\xf4\x90\x80\x80", "\xe2\x82", "\x80", "\xff"})
        EXPECT_FALSE(utf16OfUtf8(bad, back)) << bad;
}

TEST(PublishTexts, ServerListAnswer) {
    ServerEntry https, http, share;
    std::string problem;
    ASSERT_TRUE(parseServerEntry("HTTPS|deploy.example.com|/ornivel/deploy/|443", https, problem)) << problem;
    EXPECT_EQ(https.type, "https");
    EXPECT_EQ(https.path, "/ornivel/deploy");
    ASSERT_TRUE(parseServerEntry("http|10.0.0.5|/ornivel/deploy|8080|Branch office", http, problem)) << problem;
    ASSERT_TRUE(parseServerEntry("net||\\\\files\\ornivel|", share, problem)) << problem;
    EXPECT_EQ(share.port, "0");
    std::string answer;
    ASSERT_TRUE(serverListAnswer({https, http, share}, answer, problem));
    // The first server shows its host anyway; the launcher would skip an empty label.
    EXPECT_EQ(answer, "https|deploy.example.com|/ornivel/deploy|443|||http|10.0.0.5|/ornivel/deploy|8080|||"
                      "net||\\\\files\\ornivel|0|||deploy.example.com~Branch office|\r\n");
    ASSERT_TRUE(serverListAnswer({https}, answer, problem));
    EXPECT_EQ(answer, "https|deploy.example.com|/ornivel/deploy|443|||\r\n");

    for (const char* bad : {"ftp|h|/p|21", "http|h|p|80", "http||/p|80", "http|h|/p|0", "http|h|/p|80x", "http|h|/p",
                            "http|h|/p|80|a~b", "http|h|/p|80|M\xc3\xbcnchen", "net||//x|0", "http|h|/p|80|l|x"})
        EXPECT_FALSE(parseServerEntry(bad, https, problem)) << bad;
    EXPECT_EQ(currentAnswerName("0123"), "clientChecksum=0123");
    EXPECT_EQ(std::string(kCurrentAnswer), "OK\r\n");
}

TEST(PublishTexts, CommandLineAndNginxFragment) {
    PublishOptions options;
    std::string problem;
    ASSERT_TRUE(parsePublishOptions({"--copy", "client", "--server=http|h|/d|80", "--url-path", "/a/b.c/", "--", "-dep"},
                                    options, problem))
        << problem;
    EXPECT_TRUE(options.copy);
    EXPECT_EQ(options.clientFolder, "client");
    EXPECT_EQ(options.deploymentFolder, "-dep");
    EXPECT_EQ(options.urlPath, "/a/b.c");
    ASSERT_EQ(options.servers.size(), 1u);
    ASSERT_TRUE(parsePublishOptions({"a", "b", "--url-path=/"}, options, problem));
    EXPECT_EQ(options.urlPath, "");
    EXPECT_TRUE(parsePublishOptions({"--help"}, options, problem) && options.help);
    ASSERT_TRUE(parsePublishOptions({"a", "b", "--key", "/k/ornivel-signing.key"}, options, problem));
    EXPECT_EQ(options.keyFile, "/k/ornivel-signing.key");
    EXPECT_EQ(options.validDays, 0);
    ASSERT_TRUE(parsePublishOptions({"a", "b", "--valid-days=30", "--key", "k"}, options, problem)) << problem;
    EXPECT_EQ(options.validDays, 30);
    ASSERT_TRUE(parsePublishOptions({"keygen", "keys"}, options, problem));
    EXPECT_TRUE(options.keygen);
    EXPECT_EQ(options.keyFolder, "keys");
    ASSERT_TRUE(parsePublishOptions({"./keygen", "b"}, options, problem));
    EXPECT_FALSE(options.keygen);
    EXPECT_FALSE(options.report);
    ASSERT_TRUE(parsePublishOptions({"a", "b", "--report"}, options, problem));
    EXPECT_TRUE(options.report);
    ASSERT_TRUE(parsePublishOptions({"fleet", "a.log", "--csv", "--since", "7", "--", "--b.log"}, options, problem));
    EXPECT_TRUE(options.fleet && options.csv);
    EXPECT_EQ(options.sinceDays, 7);
    EXPECT_EQ(options.logFiles, (std::vector<std::string>{"a.log", "--b.log"}));
    ASSERT_TRUE(parsePublishOptions({"fleet", "-", "--since=30"}, options, problem));
    EXPECT_EQ(options.logFiles, std::vector<std::string>{"-"});
    EXPECT_EQ(options.sinceDays, 30);
    for (const std::vector<std::string>& bad :
         {std::vector<std::string>{"a"}, {"a", "b", "c"}, {"a", "b", "--fast"}, {"a", "b", "--server"},
          {"a", "b", "--url-path", "x"}, {"a", "b", "--url-path", "/a/../b"}, {"a", "b", "--url-path", "/a b"},
          {"a", "b", "--key"}, {"keygen"}, {"keygen", "a", "b"}, {"fleet"}, {"fleet", "--csv"},
          {"fleet", "a.log", "--since"}, {"fleet", "a.log", "--since", "0"}, {"fleet", "a.log", "--since=7d"},
          {"fleet", "a.log", "--since", "-7"}, {"fleet", "a.log", "--report"}, {"a", "b", "--valid-days", "30"},
          {"a", "b", "--key", "k", "--valid-days", "0"}, {"a", "b", "--key", "k", "--valid-days", "3651"},
          {"a", "b", "--key", "k", "--valid-days", "7d"}, {"a", "b", "--key", "k", "--valid-days"}})
        EXPECT_FALSE(parsePublishOptions(bad, options, problem));

    const std::string fragment = nginxFragment("/srv/my deploy", "/ornivel.v2");
    EXPECT_NE(fragment.find("location /ornivel.v2/check/ {\n    root \"/srv/my deploy/check\";"), std::string::npos);
    EXPECT_NE(fragment.find("location ~ \"^/ornivel\\.v2/check/clientChecksum=([0-9a-f]{32})$\""), std::string::npos);
    EXPECT_NE(fragment.find("location /ornivel.v2/deploy/ {\n    alias \"/srv/my deploy/deploy/\";"), std::string::npos);
    EXPECT_EQ(fragment.find("report"), std::string::npos);
    const std::string reporting = nginxFragment("/srv/my deploy", "/ornivel.v2", true);
    EXPECT_NE(reporting.find("location = /ornivel.v2/check/report {\n    access_log \"/srv/my deploy/reports.log\" "
                             "combined;\n"),
              std::string::npos)
        << reporting;
    EXPECT_NE(reporting.find("    return 204;\n}\n"), std::string::npos);
    EXPECT_TRUE(fitsNginx("/srv/my deploy (2)", problem));
    EXPECT_FALSE(fitsNginx("/srv/$HOME", problem));
    EXPECT_FALSE(fitsNginx("/srv/\"x\"", problem));
}

// A line of reports.log as nginx writes it (combined format).
std::string reportLine(const std::string& time, const std::string& query) {
    return "10.1.2.3 - - [" + time + "] \"GET /ornivel/check/report?" + query +
           "&files=2&bytes=300&seconds=4&mode=start HTTP/1.1\" 204 0 \"-\" \"ornivel\"\n";
}

TEST(PublishTexts, FleetFromTheReportsLog) {
    const std::string log =
        // A failed, then ended well: no failures since.
        reportLine("09/Dec/2026:22:00:00 +0100", "id=A&host=PC-02&result=40&checksum=c1&serial=5") +
        reportLine("09/Dec/2026:22:05:00 +0100", "id=A&host=PC-02&result=0&checksum=c2&serial=6") +
        // B ended well, then failed twice (its lines out of order, as from rotated logs).
        reportLine("09/Dec/2026:16:10:00 -0500", "id=B&host=pc-01&result=30&checksum=c1&serial=5") +
        reportLine("09/Dec/2026:21:20:00 +0000", "id=B&host=pc-01&result=99&checksum=c1&serial=5") +
        reportLine("09/Dec/2026:21:00:00 +0000", "id=B&host=pc-01&result=0&checksum=c1&serial=5") +
        // C replaces itself (counts as ended well); its name needs quoting in CSV.
        reportLine("09/Dec/2026:22:53:55 +0100", "id=C&host=Smith%2C+%22Lab%22&result=10&checksum=c2") +
        reportLine("15/Jan/2026:08:00:00 +0100", "id=D&host=zz&result=0") +
        "\n"                                                                 // empty: not counted
        "garbage\n"                                                          // skipped from here on
        "10.1.2.3 - - [09/Dec/2026:22:00:00 +0100] \"GET /ornivel/deploy/a.jar HTTP/1.1\" 200 1 \"-\" \"-\"\n" +
        reportLine("09/Dec/2026:22:00:00 +0100", "host=no-id&result=0") +
        reportLine("09/Dec/2026:22:00:00 +0100", "id=E&result=failed") +
        reportLine("32/Dec/2026:22:00:00 +0100", "id=E&result=0") +
        "10.1.2.3 - - [09/Dec/2026:22:00:00 +0100] \"POST /ornivel/check/report?id=E&result=0 HTTP/1.1\" 204 0";
    FleetGatherer gatherer;
    for (size_t at = 0; at < log.size(); at += 7) gatherer.addPiece(std::string_view(log).substr(at, 7));
    gatherer.endLog();
    EXPECT_EQ(gatherer.skippedLines(), 6u);
    const std::vector<Installation> fleet = gatherer.installations();
    ASSERT_EQ(fleet.size(), 4u);
    EXPECT_EQ(fleet[0].id + fleet[1].id + fleet[2].id + fleet[3].id, "BACD") << "by computer name, case aside";
    EXPECT_EQ(fleet[1].runs, 2u);
    EXPECT_EQ(fleet[1].failures, 0u);
    EXPECT_EQ(fleet[1].lastResult, 0);
    EXPECT_EQ(fleet[1].checksum + fleet[1].serial, "c26");
    EXPECT_EQ(fleet[0].runs, 3u);
    EXPECT_EQ(fleet[0].failures, 2u);
    EXPECT_EQ(resultWords(fleet[0].lastResult), "code 99");
    EXPECT_EQ(isoUtcText(fleet[0].lastSeen), "2026-12-09T21:20:00Z");
    EXPECT_EQ(isoUtcText(fleet[2].lastSeen), "2026-12-09T21:53:55Z");
    EXPECT_EQ(fleet[2].failures, 0u);
    EXPECT_EQ(resultWords(30), "list refused");

    const std::string csv = fleetCsv(fleet);
    EXPECT_EQ(csv.substr(csv.find("C,")), "C,\"Smith, \"\"Lab\"\"\",2026-12-09T21:53:55Z,replacing itself,c2,,1,0\r\n"
                                          "D,zz,2026-01-15T07:00:00Z,current,,,1,0\r\n");
    EXPECT_EQ(csv.rfind("id,computer,last seen,last result,client checksum,serial,runs,failures since last success\r\n"
                        "B,pc-01,2026-12-09T21:20:00Z,code 99,c1,5,3,2\r\n",
                        0),
              0u)
        << csv;
    Installation forged = fleet[3];
    forged.host = "=cmd|' /c calc'!A0\x1b[2J";
    EXPECT_NE(fleetCsv({forged}).find("\r\nD,'=cmd|' /c calc'!A0?[2J,"), std::string::npos)
        << "no formula for a spreadsheet, no control character for a terminal";
    const std::string table = fleetTable(fleet);
    size_t lines = 0;
    for (size_t at = table.find('\n') + 1; at < table.size(); at = table.find('\n', at) + 1, ++lines)
        EXPECT_EQ(table.find("2026-", at) - at, table.find("Last seen")) << table;
    EXPECT_EQ(lines, 4u);

    // --since: older reports are passed over, and installations seen only before are left out.
    FleetGatherer recent(1796850300);  // 2026-12-09T21:05:00Z
    recent.addPiece(log);
    recent.endLog();
    const std::vector<Installation> since = recent.installations();
    ASSERT_EQ(since.size(), 3u);
    EXPECT_EQ(since[0].runs, 2u) << "B's failures after 21:05";
    EXPECT_EQ(since[0].failures, 2u);
    EXPECT_EQ(since[1].runs, 1u) << "A's success at 21:05";
    EXPECT_EQ(since[1].failures, 0u);
    EXPECT_EQ(since[2].id, "C");
}

TEST(PublishTexts, StateKeepsStampsAndChecksums) {
    PublishState state;
    state["module/a b.jar"] = PublishedFile{FileStamp{5000000000ULL, -3, 999999999}, "0123456789abcdef0123456789abcdef", ""};
    state["x"] = PublishedFile{FileStamp{0, 1700000000, 0}, "d41d8cd98f00b204e9800998ecf8427e", sha256HexOfBytes("")};
    const PublishState read = parseState(stateText(state));
    ASSERT_EQ(read.size(), 2u);
    EXPECT_EQ(read.at("module/a b.jar").stamp, state["module/a b.jar"].stamp);
    EXPECT_EQ(read.at("x").checksum, state["x"].checksum);
    EXPECT_EQ(read.at("x").sha256, state["x"].sha256);
    EXPECT_EQ(read.at("module/a b.jar").sha256, "");
    // The state of a publisher that wrote no SHA-256: read, each file without one (so hashed again).
    const PublishState older =
        parseState("ornivel-publish state 1\nd41d8cd98f00b204e9800998ecf8427e\t0\t1700000000\t0\tx\n");
    ASSERT_EQ(older.size(), 1u);
    EXPECT_EQ(older.at("x").checksum, "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(older.at("x").sha256, "");
    const std::string text = stateText(state);
    EXPECT_TRUE(parseState(text.substr(0, text.size() - 1)).empty()) << "a cut state is no state";
    EXPECT_TRUE(parseState("something else\n").empty());
}

TEST(PublishTexts, KeysSignaturesAndSerials) {
    PublicKey publicKey{}, otherPublic{};
    SecretKey secretKey{}, otherSecret{};
    ASSERT_TRUE(makeKeyPair(publicKey, secretKey));
    ASSERT_TRUE(makeKeyPair(otherPublic, otherSecret));
    const std::string line = publicKeyText(publicKey);
    ASSERT_EQ(line.size(), 8u + 64u);
    EXPECT_EQ(line.rfind("ed25519 ", 0), 0u);
    PublicKey read{};
    ASSERT_TRUE(parsePublicKeyText("\xEF\xBB\xBF  " + line + "\r\n\r\n", read));
    EXPECT_EQ(read, publicKey);
    EXPECT_EQ(publicKeyOf(secretKey), publicKey);
    for (const std::string& bad : {line.substr(0, 71), line + "0", "ed25519  " + line.substr(8), "ED25519 " + line.substr(8),
                                   line + "\n" + line, line.substr(0, 70) + "g0", secretKeyText(secretKey), std::string()})
        EXPECT_FALSE(parsePublicKeyText(bad, read)) << bad;
    // A key file of a deployment moving to a new key: both keys, one a line.
    std::vector<PublicKey> keys;
    ASSERT_TRUE(parsePublicKeysText("\xEF\xBB\xBF" + line + "\r\n\r\n" + publicKeyText(otherPublic) + "\n", keys));
    EXPECT_EQ(keys, (std::vector<PublicKey>{publicKey, otherPublic}));
    ASSERT_TRUE(parsePublicKeysText(line, keys));
    EXPECT_EQ(keys, std::vector<PublicKey>{publicKey});
    for (const std::string& bad : {line + "\n" + line.substr(0, 71), line + "\n# comment", std::string("\r\n\r\n"),
                                   line + "\n\xEF\xBB\xBF" + line})
        EXPECT_FALSE(parsePublicKeysText(bad, keys)) << bad;
    EXPECT_EQ(sha256HexOfBytes("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    Sha256 pieces;
    pieces.update("a", 1);
    pieces.update("bc", 2);
    EXPECT_EQ(pieces.hexDigest(), sha256HexOfBytes("abc"));
    EXPECT_TRUE(isSha256Hex(sha256HexOfBytes("")) && !isSha256Hex(md5HexOfBytes("")) && isMd5Hex(md5HexOfBytes("")));

    SecretKey secretRead{};
    ASSERT_TRUE(parseSecretKeyText(secretKeyText(secretKey) + "\n", secretRead));
    EXPECT_EQ(secretRead, secretKey);
    std::string damaged = secretKeyText(secretKey);
    damaged.back() = damaged.back() == '0' ? '1' : '0';  // the public half no longer the seed's
    EXPECT_FALSE(parseSecretKeyText(damaged, secretRead));
    EXPECT_FALSE(parseSecretKeyText(line, secretRead));

    const std::string list = signedFileListStart(7) + std::string(kFileListEnd);
    const std::string signature = signList(list, secretKey);
    ASSERT_EQ(signature.size(), kListSignatureBytes);
    EXPECT_TRUE(listSignatureValid(list, signature, publicKey));
    std::string flipped = list;
    flipped[3] ^= 1;
    EXPECT_FALSE(listSignatureValid(flipped, signature, publicKey));
    EXPECT_FALSE(listSignatureValid(list, signature, otherPublic));
    EXPECT_FALSE(listSignatureValid(list, signList(list, otherSecret), publicKey));
    EXPECT_FALSE(listSignatureValid(list, signature.substr(0, 63), publicKey));
    EXPECT_FALSE(listSignatureValid(list, signature + "x", publicKey));

    // The serial grows with every publication and never falls behind the clock.
    EXPECT_EQ(serialOfList(list), 7u);
    EXPECT_EQ(serialOfList(std::string(kFileListStart) + kFileListEnd), 0u);
    EXPECT_EQ(nextSerial(list, 3), 8u);
    EXPECT_EQ(nextSerial(list, 1700000000), 1700000000u);
    EXPECT_EQ(nextSerial("", 1700000000), 1700000000u);
    // A deployed serial more than a year ahead, which installations refuse, is passed over.
    const uint64_t now = 1700000000;
    EXPECT_EQ(nextSerial(signedFileListStart(now + 400 * 86400) + kFileListEnd, now), now);
    EXPECT_EQ(nextSerial(signedFileListStart(now + 300 * 86400) + kFileListEnd, now), now + 300 * 86400 + 1);
}

} // namespace
} // namespace ornivel::publish
