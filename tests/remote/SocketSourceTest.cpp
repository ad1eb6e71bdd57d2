#include <gtest/gtest.h>

#include <winsock2.h>

#include "common/Text.h"
#include "remote/PartialDownload.h"
#include "remote/SocketSource.h"
#include "remote/Request.h"
#include "tests/remote/RemoteTestSupport.h"

namespace ornivel {
namespace {

using test::HttpAnswer;
using test::sharedServer;
using test::TempFolder;

class SocketClient : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sharedServer().running());
        sharedServer().clear();
        request.setPause([this](unsigned seconds) { pauses.push_back(seconds); });
    }
    std::string url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(sharedServer().httpPort()) + path;
    }
    test::CapturedLog log;
    Request request{log.log, false};
    RequestResult result;
    std::vector<unsigned> pauses;
    TempFolder temp{L"socket"};
    test::RecordingListener listener;
};

TEST_F(SocketClient, SendsTheRequestTextByteForByte) {
    sharedServer().route("/app/dir/a%20b.jar", HttpAnswer::ok("abc"));
    EXPECT_EQ(request.execute(url("/app/dir/a%20b.jar"), nullptr, nullptr, 0, result, nullptr), 200);
    const std::string expected =
        "GET /app/dir/a%20b.jar HTTP/1.1\r\nAccept: */*\r\nAccept-Language: *\r\nUser-Agent: Mozilla/4.0\r\n"
        "Host: 127.0.0.1\r\n\r\n";
    EXPECT_EQ(result.sentText, expected);
    EXPECT_EQ(result.body, "abc");
    EXPECT_EQ(result.bodyLength, 3u);
    EXPECT_EQ(result.header.substr(0, 17), "HTTP/1.1 200 OK\r\n");
    EXPECT_EQ(result.header.substr(result.header.size() - 4), "\r\n\r\n");
    const auto requests = sharedServer().requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].raw, expected);
}

TEST_F(SocketClient, SourceBuildsItsUrlAndSendsTheHostInUpperCase) {
    sharedServer().route("/app/dir/a%20b.jar", HttpAnswer::ok("jar bytes"));
    RemoteSourceHTTP source(L"localhost", L"app", static_cast<unsigned short>(sharedServer().httpPort()), log.log,
                            false);
    const std::wstring base = L"http://localhost:" + std::to_wstring(sharedServer().httpPort()) + L"/app/";
    EXPECT_EQ(source.baseUrl(), base);
    EXPECT_TRUE(log.appender.has(LOG_DEBUG, L"Using URL '" + base + L"' for sync."));
    const std::wstring target = temp / L"d\\a b.jar";
    ASSERT_TRUE(source.download(L"dir\\a b.jar", target, &listener));
    EXPECT_EQ(test::readFileBytes(target), "jar bytes");
    EXPECT_TRUE(log.appender.has(LOG_INFO, L"Downloading file 'dir/a b.jar' to '" + target + L"'"));
    const auto requests = sharedServer().requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].requestLine(), "GET /app/dir/a%20b.jar HTTP/1.1");
    EXPECT_NE(requests[0].raw.find("\r\nHost: LOCALHOST\r\n"), std::string::npos);
}

TEST_F(SocketClient, ContentLengthZeroGivesAnEmptyFile) {
    sharedServer().route("/app/empty", HttpAnswer::ok(""));
    RemoteSourceHTTP source(L"127.0.0.1", L"app", static_cast<unsigned short>(sharedServer().httpPort()), log.log,
                            false);
    temp.write(L"empty", "old");
    ASSERT_TRUE(source.download(L"empty", temp / L"empty", &listener));
    EXPECT_EQ(temp.read(L"empty"), "");
    EXPECT_TRUE(listener.percents.empty());
}

TEST_F(SocketClient, A2xxAnswerWithoutContentLengthFailsAfterThreeAttempts) {
    HttpAnswer answer = HttpAnswer::ok("body");
    answer.contentLength = "omit";
    sharedServer().route("/app/nolength", answer);
    EXPECT_EQ(request.execute(url("/app/nolength"), nullptr, nullptr, 0, result, nullptr), -1);

    sharedServer().clear();
    sharedServer().route("/app/nolength", answer);
    RemoteSourceHTTP source(L"127.0.0.1", L"app", static_cast<unsigned short>(sharedServer().httpPort()), log.log,
                            false);
    EXPECT_FALSE(source.download(L"nolength", temp / L"nolength", &listener));
    EXPECT_FALSE(temp.exists(L"nolength"));
    EXPECT_EQ(sharedServer().requests().size(), 3u);
    EXPECT_EQ(test::countPrefix(log.appender, LOG_DEBUG, L"Download error. HTTP error code: -1, OS Error: "), 1u);
}

TEST_F(SocketClient, OtherStatusesAreReturnedAndFailTheDownload) {
    sharedServer().route("/app/missing", HttpAnswer::withStatus(404, "nope"));
    sharedServer().route("/app/partial", HttpAnswer::withStatus(206, "part"));
    EXPECT_EQ(request.execute(url("/app/missing"), nullptr, nullptr, 0, result, nullptr), 404);
    EXPECT_EQ(request.execute(url("/app/partial"), nullptr, nullptr, 0, result, nullptr), 206);
    EXPECT_EQ(result.body, "part");  // 2xx bodies are read
    RemoteSourceHTTP source(L"127.0.0.1", L"app", static_cast<unsigned short>(sharedServer().httpPort()), log.log,
                            false);
    EXPECT_FALSE(source.download(L"partial", temp / L"partial", nullptr));
    EXPECT_FALSE(temp.exists(L"partial"));
    EXPECT_EQ(test::countPrefix(log.appender, LOG_DEBUG, L"Download error. HTTP error code: 206, OS Error: "), 1u);
}

TEST_F(SocketClient, RefreshWithUrlWaitsAndFetchesTheOtherUrl) {
    sharedServer().route("/start", HttpAnswer::ok("first").header("Refresh", "5;url=" + url("/other")));
    sharedServer().route("/other", HttpAnswer::ok("second"));
    EXPECT_EQ(request.execute(url("/start"), nullptr, nullptr, 0, result, nullptr), 200);
    EXPECT_EQ(result.body, "second");
    EXPECT_EQ(pauses, std::vector<unsigned>{5});
    EXPECT_TRUE(log.appender.has(LOG_DEBUG, L"refreshValue=5;url=" + fromAnsi(url("/other"))));
    EXPECT_TRUE(log.appender.has(LOG_DEBUG, L"Received HTTP Refresh with 5 seconds. URL: " + fromAnsi(url("/other"))));
    const auto requests = sharedServer().requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].connection, requests[1].connection);  // the same server: the connection is kept
}

TEST_F(SocketClient, BodyBytesThatArriveWithTheHeaderStayWithTheirAnswer) {
    request.setReceiveTimeout(1000);  // a lost body byte would show as a wait for more
    HttpAnswer whole;
    whole.raw = "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nfirst";  // one write, one segment
    sharedServer().route("/whole", whole);
    EXPECT_EQ(request.execute(url("/whole"), nullptr, nullptr, 0, result, nullptr), 200);
    EXPECT_EQ(result.body, "first");

    // The refreshed request reuses the connection: its answer starts exactly after the body.
    HttpAnswer refreshing;
    refreshing.raw = "HTTP/1.1 200 OK\r\nRefresh: 0;url=" + url("/next") + "\r\nContent-Length: 3\r\n\r\nabc";
    sharedServer().route("/refreshing", refreshing);
    sharedServer().route("/next", HttpAnswer::ok("second"));
    EXPECT_EQ(request.execute(url("/refreshing"), nullptr, nullptr, 0, result, nullptr), 200);
    EXPECT_EQ(result.header.rfind("HTTP/1.1 200 OK\r\n", 0), 0u);
    EXPECT_EQ(result.body, "second");
    const auto requests = sharedServer().requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[1].connection, requests[2].connection);
}

TEST_F(SocketClient, RefreshWithoutUrlFetchesTheSameUrlAgain) {
    sharedServer().route("/again", {HttpAnswer::withStatus(503, "").header("Refresh", "0"), HttpAnswer::ok("done")});
    EXPECT_EQ(request.execute(url("/again"), nullptr, nullptr, 0, result, nullptr), 200);
    EXPECT_EQ(result.body, "done");
    EXPECT_EQ(pauses, std::vector<unsigned>{0});
    EXPECT_TRUE(log.appender.has(LOG_DEBUG, L"Received HTTP Refresh with 0 seconds. URL: " + fromAnsi(url("/again"))));
    EXPECT_EQ(sharedServer().requests().size(), 2u);
}

TEST_F(SocketClient, RefreshReallyPausesByDefault) {
    Request plain(log.log, false);
    sharedServer().route("/wait", {HttpAnswer::ok("").header("Refresh", "1"), HttpAnswer::ok("after")});
    const DWORD start = ::GetTickCount();
    EXPECT_EQ(plain.execute(url("/wait"), nullptr, nullptr, 0, result, nullptr), 200);
    EXPECT_GE(::GetTickCount() - start, 950u);
    EXPECT_EQ(result.body, "after");
}

TEST_F(SocketClient, FollowsAFullLocationOnANewConnection) {
    sharedServer().route("/moved", HttpAnswer::withStatus(302, "").header("Location", url("/target")));
    sharedServer().route("/target", HttpAnswer::ok("arrived"));
    EXPECT_EQ(request.execute(url("/moved"), nullptr, nullptr, 0, result, nullptr), 200);
    EXPECT_EQ(result.body, "arrived");
    EXPECT_TRUE(log.appender.has(LOG_DEBUG, L"Redirected to URL '" + fromAnsi(url("/target")) + L"'."));
    const auto requests = sharedServer().requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_NE(requests[0].connection, requests[1].connection);
}

TEST_F(SocketClient, FollowsARelativeLocationOnTheSameServer) {
    sharedServer().route("/app/old", HttpAnswer::withStatus(301, "").header("Location", "/app/new"));
    sharedServer().route("/app/new", HttpAnswer::ok("relative"));
    EXPECT_EQ(request.execute(url("/app/old"), nullptr, nullptr, 0, result, nullptr), 200);
    EXPECT_EQ(result.body, "relative");
    EXPECT_TRUE(log.appender.has(LOG_DEBUG, L"Redirected to URL '/app/new'."));

    // A 3xx answer without Location returns its status.
    sharedServer().route("/nowhere", HttpAnswer::withStatus(302, ""));
    EXPECT_EQ(request.execute(url("/nowhere"), nullptr, nullptr, 0, result, nullptr), 302);
}

TEST_F(SocketClient, EndlessRedirectsAndRefreshesStopAtTheHopLimit) {
    sharedServer().route("/loop", HttpAnswer::withStatus(302, "").header("Location", "/loop"));
    EXPECT_EQ(request.execute(url("/loop"), nullptr, nullptr, 0, result, nullptr), 0);
    EXPECT_EQ(sharedServer().requests().size(), static_cast<size_t>(Request::kMaxHops + 1));
    EXPECT_EQ(test::countPrefix(log.appender, LOG_ERROR, L"Too many refreshes and redirections"), 1u);

    sharedServer().clear();
    sharedServer().route("/spin", HttpAnswer::ok("x").header("Refresh", "0"));
    EXPECT_EQ(request.execute(url("/spin"), nullptr, nullptr, 0, result, nullptr), 0);
    EXPECT_EQ(sharedServer().requests().size(), static_cast<size_t>(Request::kMaxHops + 1));
}

TEST_F(SocketClient, RefusesHttpsAndUnreachableServers) {
    EXPECT_EQ(request.execute("https://127.0.0.1:" + std::to_string(sharedServer().httpPort()) + "/x", nullptr, nullptr,
                              0, result, nullptr),
              0);
    EXPECT_TRUE(sharedServer().requests().empty());
    EXPECT_EQ(request.execute("ftp://h/x", nullptr, nullptr, 0, result, nullptr), 0);
    // No request line is ever built with a line break in it, nor for a URL without host.
    EXPECT_EQ(request.execute(url("/a\r\nX-Injected: 1"), nullptr, nullptr, 0, result, nullptr), 0);
    EXPECT_EQ(test::countPrefix(log.appender, LOG_ERROR, L"Refused to request URL 'http://127.0.0.1:"), 1u);
    EXPECT_TRUE(sharedServer().requests().empty());
    sharedServer().route("/nohost", HttpAnswer::withStatus(302, "").header("Location", "http:///x"));
    EXPECT_EQ(request.execute(url("/nohost"), nullptr, nullptr, 0, result, nullptr), 0);
    EXPECT_EQ(sharedServer().requests().size(), 1u);
    EXPECT_EQ(request.execute("http://127.0.0.1:1/x", nullptr, nullptr, 0, result, nullptr), 0);
}

TEST_F(SocketClient, ABodyThatBreaksOffEndsWithMinusOne) {
    HttpAnswer answer = HttpAnswer::ok(std::string(1000, 'b'));
    answer.dropAfter = 400;
    sharedServer().route("/app/broken", answer);
    EXPECT_EQ(request.execute(url("/app/broken"), nullptr, nullptr, 0, result, nullptr), -1);
    EXPECT_EQ(result.bodyLength, 400u);

    RemoteSourceHTTP source(L"127.0.0.1", L"app", static_cast<unsigned short>(sharedServer().httpPort()), log.log,
                            false);
    EXPECT_FALSE(source.download(L"broken", temp / L"broken", nullptr));
    EXPECT_FALSE(temp.exists(L"broken"));
}

TEST_F(SocketClient, ASilentServerRunsIntoTheReceiveTimeout) {
    EXPECT_EQ(Request::kReceiveTimeoutMs, 10000u);
    HttpAnswer slow = HttpAnswer::ok("late");
    slow.delay = 2;
    sharedServer().route("/slow", slow);
    request.setReceiveTimeout(300);
    // Without the time-out the late answer would arrive and count as 200.
    EXPECT_EQ(request.execute(url("/slow"), nullptr, nullptr, 0, result, nullptr), 0);

    HttpAnswer stalled = HttpAnswer::ok(std::string(100, 's'));
    stalled.bodyDelay = 2;
    sharedServer().route("/stalled", stalled);
    EXPECT_EQ(request.execute(url("/stalled"), nullptr, nullptr, 0, result, nullptr), -1);
}

TEST_F(SocketClient, AnOversizedHeaderFails) {
    EXPECT_EQ(Request::kMaxHeaderBytes, 64u * 1024u);
    request.setMaxHeaderBytes(4096);
    HttpAnswer fits;
    fits.raw = "HTTP/1.1 200 OK\r\nX-Filler: " + std::string(3000, 'f') + "\r\nContent-Length: 2\r\n\r\nok";
    sharedServer().route("/fits", fits);
    EXPECT_EQ(request.execute(url("/fits"), nullptr, nullptr, 0, result, nullptr), 200);
    HttpAnswer huge;
    huge.raw = "HTTP/1.1 200 OK\r\nX-Filler: " + std::string(5000, 'f') + "\r\nContent-Length: 0\r\n\r\n";
    sharedServer().route("/huge", huge);
    EXPECT_EQ(request.execute(url("/huge"), nullptr, nullptr, 0, result, nullptr), 0);
    EXPECT_EQ(test::countPrefix(log.appender, LOG_ERROR, L"Response header from URL"), 1u);
}

TEST_F(SocketClient, BodiesGoStraightIntoThePartialFile) {
    HttpAnswer big;
    big.size = 3 * static_cast<int64_t>(Request::kWriteBlock) + 5;
    sharedServer().route("/app/big.bin", big);
    const std::wstring target = temp / L"big.bin";
    PartialDownload partial(target);
    EXPECT_EQ(request.getToFile(url("/app/big.bin"), partial, &listener), 200);
    EXPECT_TRUE(test::readFileBytes(RemoteSource::partialPath(target)) ==
                test::patternBytes(static_cast<size_t>(big.size)));
    EXPECT_EQ(test::folderNames(temp.path()), std::vector<std::wstring>{L"big.bin.ornivel-download"});
    ASSERT_FALSE(listener.percents.empty());
    for (size_t i = 1; i < listener.percents.size(); ++i) EXPECT_LT(listener.percents[i - 1], listener.percents[i]);
    EXPECT_LT(listener.percents.back(), 100);  // reported before each receive is counted
}

TEST_F(SocketClient, SourceContinuesABrokenTransferAndStartsOverWhenRangeIsIgnored) {
    const int port = sharedServer().httpPort();
    const test::FetchWithNewSource fetch = [this, port](const std::wstring& name, const std::wstring& path,
                                                        ProgressListener* progress) {
        RemoteSourceHTTP source(L"127.0.0.1", L"app", static_cast<unsigned short>(port), log.log, false);
        return source.fetch(name, path, progress);
    };
    const auto requests = test::expectBrokenLinkBridged(fetch);
    ASSERT_EQ(requests.size(), 6u);
    // Nothing to continue: the request text byte for byte; continuing: two lines after Host.
    const std::string text = "GET /app/f.bin HTTP/1.1\r\nAccept: */*\r\nAccept-Language: *\r\n"
                             "User-Agent: Mozilla/4.0\r\nHost: 127.0.0.1\r\n";
    EXPECT_EQ(requests[0].raw, text + "\r\n");
    const std::string validator = test::requestField(requests[1], "If-Range");
    EXPECT_EQ(validator.substr(0, 1), "\"");  // the entity tag, not the date
    EXPECT_EQ(requests[1].raw, text + "Range: bytes=65536-\r\nIf-Range: " + validator + "\r\n\r\n");
    EXPECT_EQ(requests[5].raw, text + "Range: bytes=327680-\r\nIf-Range: " + validator + "\r\n\r\n");
    sharedServer().clear();
    test::expectIgnoredRangeStartsOver(fetch);
}

TEST_F(SocketClient, WhatAStartLeavesIsContinuedOrReplacedByTheNext) {
    const int port = sharedServer().httpPort();
    test::expectResumeAcrossStarts([this, port](const std::wstring& name, const std::wstring& path,
                                                ProgressListener* progress) {
        RemoteSourceHTTP source(L"127.0.0.1", L"app", static_cast<unsigned short>(port), log.log, false);
        return source.fetch(name, path, progress);
    });
    EXPECT_EQ(test::countPrefix(log.appender, LOG_DEBUG, L"Download error. HTTP error code: 404, OS Error: "), 1u);
}

TEST_F(SocketClient, DumpWritesTheRequestAndTheHeaderToTheLog) {
    sharedServer().route("/app/d", HttpAnswer::ok("x"));
    Request dumping(log.log, true);
    EXPECT_EQ(dumping.execute(url("/app/d"), nullptr, nullptr, 0, result, nullptr), 200);
    const auto& m = log.appender.messages;
    ASSERT_EQ(m.size(), 4u);
    EXPECT_EQ(m[0], std::make_pair(int(LOG_DEBUG), std::wstring(L"SEND")));
    EXPECT_EQ(m[1], std::make_pair(int(LOG_DEBUG), fromAnsi(result.sentText)));
    EXPECT_EQ(m[2], std::make_pair(int(LOG_DEBUG), std::wstring(L"RECEIVE")));
    EXPECT_EQ(m[3], std::make_pair(int(LOG_DEBUG), fromAnsi(result.header)));
}

} // namespace
} // namespace ornivel
