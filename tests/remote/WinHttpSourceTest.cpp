#include <gtest/gtest.h>

#include <winsock2.h>

#include "logdriver/LastError.h"
#include "remote/WinHttpSource.h"
#include "tests/remote/RemoteTestSupport.h"

namespace ornivel {
namespace {

using test::HttpAnswer;
using test::sharedServer;
using test::TempFolder;

class WinHttpSource : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sharedServer().running());
        sharedServer().clear();
    }
    RemoteSourceWININET source(bool secure = false) {
        const int port = secure ? sharedServer().httpsPort() : sharedServer().httpPort();
        return RemoteSourceWININET(secure ? L"localhost" : L"127.0.0.1", L"/app", static_cast<unsigned short>(port),
                                   log.log, secure);
    }
    test::CapturedLog log;
    TempFolder temp{L"winhttp"};
    test::RecordingListener listener;
};

TEST_F(WinHttpSource, DownloadsIntoNewFoldersWithEveryStepLogged) {
    sharedServer().route("/app/sub/file%20a.jar", HttpAnswer::ok("hello file"));
    RemoteSourceWININET s(L"127.0.0.1", L"/app", static_cast<unsigned short>(sharedServer().httpPort()), log.log,
                          false);
    const std::wstring target = temp / L"x\\y\\f.jar";
    ASSERT_TRUE(s.download(L"sub\\file a.jar", target, &listener));
    EXPECT_EQ(test::readFileBytes(target), "hello file");

    const auto requests = sharedServer().requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].requestLine(), "GET /app/sub/file%20a.jar HTTP/1.1");
    EXPECT_FALSE(requests[0].tls);

    const auto& a = log.appender;
    EXPECT_TRUE(a.has(LOG_DEBUG, L"Using URL '/app/' for sync."));
    EXPECT_TRUE(a.has(LOG_INFO, L"WinHTTP Initialization successfull"));
    EXPECT_TRUE(a.has(LOG_INFO, L"Downloading file 'sub/file a.jar' to '" + target + L"'"));
    EXPECT_TRUE(a.has(LOG_INFO, L"Creating " + (temp / L"x") + L" "));
    EXPECT_TRUE(a.has(LOG_DEBUG, L"Opening Request..."));
    EXPECT_TRUE(a.has(LOG_DEBUG, L"Sending Request..."));
    EXPECT_TRUE(a.has(LOG_DEBUG, L"Receiving Response..."));
    EXPECT_EQ(test::countPrefix(a, LOG_DEBUG, L"Download error."), 0u);
    ASSERT_FALSE(listener.percents.empty());
    EXPECT_EQ(listener.percents.back(), 100);
    EXPECT_EQ(listener.otherReports, 0);
}

TEST_F(WinHttpSource, RequestFlagsBypassCachesAndAddTlsWhenSecure) {
    EXPECT_EQ(RemoteSourceWININET::requestFlags(false), 0x100u);
    EXPECT_EQ(RemoteSourceWININET::requestFlags(true), 0x800100u);
    EXPECT_EQ(RemoteSourceWININET::objectName(L"/app/", L"sub\\file a.jar"), L"/app/sub/file%20a.jar");
    EXPECT_EQ(RemoteSourceWININET::objectName(L"/v/", L"clientChecksum=00ff"), L"/v/clientChecksum%3d00ff");
}

TEST_F(WinHttpSource, LargeFileArrivesWhole) {
    HttpAnswer big;
    big.size = 3 * 1024 * 1024 + 17;
    sharedServer().route("/app/big.bin", big);
    auto s = source();
    ASSERT_TRUE(s.download(L"big.bin", temp / L"big.bin", &listener));
    EXPECT_EQ(temp.read(L"big.bin"), test::patternBytes(static_cast<size_t>(big.size)));
    for (size_t i = 1; i < listener.percents.size(); ++i) EXPECT_LE(listener.percents[i - 1], listener.percents[i]);
    EXPECT_EQ(listener.percents.back(), 100);
}

TEST_F(WinHttpSource, AnyStatusOtherThan200FailsWithTheFatalLineOnly) {
    for (int status : {304, 206, 404, 500}) {
        sharedServer().route("/app/x.jar", HttpAnswer::withStatus(status, status == 304 ? "" : "partial"));
        log.appender.messages.clear();
        auto s = source();
        EXPECT_FALSE(s.download(L"x.jar", temp / L"x.jar", &listener)) << status;
        EXPECT_TRUE(log.appender.has(LOG_FATAL, L"Error " + std::to_wstring(status) + L" While calling URL: /app/x.jar"))
            << status;
        EXPECT_EQ(test::countPrefix(log.appender, LOG_DEBUG, L"Download error."), 0u) << status;
        EXPECT_FALSE(temp.exists(L"x.jar"));
    }
}

TEST_F(WinHttpSource, ABrokenTransferIsContinuedAndAnIgnoredRangeStartsOver) {
    const test::FetchWithNewSource fetch = [this](const std::wstring& name, const std::wstring& path,
                                                  ProgressListener* progress) { return source().fetch(name, path, progress); };
    const auto requests = test::expectBrokenLinkBridged(fetch);
    ASSERT_EQ(requests.size(), 6u);
    EXPECT_EQ(requests[0].raw.find("Range"), std::string::npos);  // nothing to continue: no additional header
    EXPECT_EQ(test::requestField(requests[1], "If-Range").substr(0, 1), "\"");  // the entity tag, not the date
    for (size_t i = 2; i < requests.size(); ++i)
        EXPECT_EQ(test::requestField(requests[i], "If-Range"), test::requestField(requests[1], "If-Range"));
    sharedServer().clear();
    test::expectIgnoredRangeStartsOver(fetch);
}

TEST_F(WinHttpSource, WhatAStartLeavesIsContinuedOrReplacedByTheNext) {
    test::expectResumeAcrossStarts([this](const std::wstring& name, const std::wstring& path,
                                          ProgressListener* progress) { return source().fetch(name, path, progress); });
    // The answer that ended the first start was logged as it always is.
    EXPECT_TRUE(log.appender.has(LOG_FATAL, L"Error 404 While calling URL: /app/h.bin"));
}

TEST_F(WinHttpSource, WithoutContentLengthTheBodyStillArrivesWhole) {
    HttpAnswer answer = HttpAnswer::ok(std::string(300000, 'q'));
    answer.contentLength = "omit";
    sharedServer().route("/app/nolength", answer);
    auto s = source();
    ASSERT_TRUE(s.download(L"nolength", temp / L"nolength", &listener));
    EXPECT_EQ(temp.read(L"nolength"), answer.body);
    EXPECT_EQ(test::countPrefix(log.appender, LOG_ERROR, L"Error determining Content Length: "), 1u);
    ASSERT_FALSE(listener.percents.empty());
    EXPECT_EQ(listener.percents.back(), 3);  // 300000 x 100 / 10,000,000
}

TEST_F(WinHttpSource, ContentLengthZeroGivesAnEmptyFile) {
    sharedServer().route("/app/empty", HttpAnswer::ok(""));
    temp.write(L"empty", "old content");
    auto s = source();
    ASSERT_TRUE(s.download(L"empty", temp / L"empty", &listener));
    EXPECT_TRUE(temp.exists(L"empty"));
    EXPECT_EQ(temp.read(L"empty"), "");
}

TEST_F(WinHttpSource, ABodyShorterThanItsContentLengthFails) {
    HttpAnswer answer = HttpAnswer::ok(std::string(5000, 'z'));
    answer.contentLength = "100000";
    answer.close = true;
    sharedServer().route("/app/short", answer);
    auto s = source();
    EXPECT_FALSE(s.download(L"short", temp / L"short", &listener));
    EXPECT_FALSE(temp.exists(L"short"));
    EXPECT_EQ(test::countPrefix(log.appender, LOG_DEBUG, L"Download error. HTTP error code: 0, OS Error: "), 2u);
}

TEST_F(WinHttpSource, ASendFailureLeavesTwoIdenticalDownloadErrorLines) {
    // A port nobody listens on.
    SOCKET probe = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    int length = sizeof address;
    ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
    ::closesocket(probe);

    RemoteSourceWININET s(L"127.0.0.1", L"/app", ::ntohs(address.sin_port), log.log, false);
    EXPECT_FALSE(s.download(L"f", temp / L"f", &listener));
    std::vector<std::wstring> lines;
    for (const auto& m : log.appender.messages) {
        if (m.first == LOG_DEBUG && m.second.rfind(L"Download error. HTTP error code: 0, OS Error: ", 0) == 0) {
            lines.push_back(m.second);
        }
    }
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], lines[1]);
    EXPECT_TRUE(log.appender.has(LOG_DEBUG, L"Sending Request..."));
    EXPECT_FALSE(log.appender.has(LOG_DEBUG, L"Receiving Response..."));
    EXPECT_TRUE(listener.percents.empty());
}

TEST_F(WinHttpSource, AHeaderThatNeverEndsIsBoundedAsAWhole) {
    // Every step keeps WinHTTP's own time-out; the header as a whole has the bound.
    HttpAnswer held = HttpAnswer::ok("too late");
    held.delay = 30;
    sharedServer().route("/app/held", held);
    auto s = source();
    s.setHeaderBound(2000);
    const DWORD start = ::GetTickCount();
    EXPECT_FALSE(s.download(L"held", temp / L"held", &listener));
    const DWORD elapsed = ::GetTickCount() - start;
    EXPECT_GE(elapsed, 1900u);
    EXPECT_LT(elapsed, 10000u);
    EXPECT_EQ(test::countPrefix(log.appender, LOG_DEBUG, L"Download error. HTTP error code: 0, OS Error: "), 2u);
    EXPECT_EQ(RemoteSourceWININET::kHeaderBoundMs, 120000u);
}

TEST_F(WinHttpSource, DownloadsOverHttpsWithTheTestAuthority) {
    if (sharedServer().httpsPort() == 0) GTEST_SKIP() << "no test certificate in this prefix";
    sharedServer().route("/app/secure.txt", HttpAnswer::ok("over tls"));
    auto s = source(true);
    ASSERT_TRUE(s.download(L"secure.txt", temp / L"secure.txt", &listener));
    EXPECT_EQ(temp.read(L"secure.txt"), "over tls");
    const auto requests = sharedServer().requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_TRUE(requests[0].tls);
}

} // namespace
} // namespace ornivel
