// The texts a publication consists of: the file list as the launcher reads it, the version
// answers, the nginx fragment, the command line, the publisher's state, and the UTF-16 and
// UTF-8 conversion under the digest of texts.
#include <gtest/gtest.h>

#include <string>

#include "NginxFragment.h"
#include "PublishOptions.h"
#include "PublishState.h"
#include "Signing.h"
#include "VersionAnswers.h"
#include "sync/FileListScanner.h"
#include "sync/ListSignature.h"
#include "sync/ListWriter.h"
#include "sync/Md5.h"
#include "sync/Utf16Text.h"

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
}

TEST(PublishTexts, Utf16AndUtf8) {
    const std::wstring units = {L'a', L'b', L'c', wchar_t(0xD835), wchar_t(0xDC9C)};
    EXPECT_EQ(utf8OfUtf16(units), "abc\xf0\x9d\x92\x9c");
    std::wstring back;
    ASSERT_TRUE(utf16OfUtf8("abc\xf0\x9d\x92\x9c", back));
    EXPECT_EQ(back, units);
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
    ASSERT_TRUE(parsePublishOptions({"keygen", "keys"}, options, problem));
    EXPECT_TRUE(options.keygen);
    EXPECT_EQ(options.keyFolder, "keys");
    ASSERT_TRUE(parsePublishOptions({"./keygen", "b"}, options, problem));
    EXPECT_FALSE(options.keygen);
    for (const std::vector<std::string>& bad :
         {std::vector<std::string>{"a"}, {"a", "b", "c"}, {"a", "b", "--fast"}, {"a", "b", "--server"},
          {"a", "b", "--url-path", "x"}, {"a", "b", "--url-path", "/a/../b"}, {"a", "b", "--url-path", "/a b"},
          {"a", "b", "--key"}, {"keygen"}, {"keygen", "a", "b"}})
        EXPECT_FALSE(parsePublishOptions(bad, options, problem));

    const std::string fragment = nginxFragment("/srv/my deploy", "/ornivel.v2");
    EXPECT_NE(fragment.find("location /ornivel.v2/check/ {\n    root \"/srv/my deploy/check\";"), std::string::npos);
    EXPECT_NE(fragment.find("location ~ \"^/ornivel\\.v2/check/clientChecksum=([0-9a-f]{32})$\""), std::string::npos);
    EXPECT_NE(fragment.find("location /ornivel.v2/deploy/ {\n    alias \"/srv/my deploy/deploy/\";"), std::string::npos);
    EXPECT_TRUE(fitsNginx("/srv/my deploy (2)", problem));
    EXPECT_FALSE(fitsNginx("/srv/$HOME", problem));
    EXPECT_FALSE(fitsNginx("/srv/\"x\"", problem));
}

TEST(PublishTexts, StateKeepsStampsAndChecksums) {
    PublishState state;
    state["module/a b.jar"] = PublishedFile{FileStamp{5000000000ULL, -3, 999999999}, "0123456789abcdef0123456789abcdef"};
    state["x"] = PublishedFile{FileStamp{0, 1700000000, 0}, "d41d8cd98f00b204e9800998ecf8427e"};
    const PublishState read = parseState(stateText(state));
    ASSERT_EQ(read.size(), 2u);
    EXPECT_EQ(read.at("module/a b.jar").stamp, state["module/a b.jar"].stamp);
    EXPECT_EQ(read.at("x").checksum, state["x"].checksum);
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
}

} // namespace
} // namespace ornivel::publish
