// Synchronisation runs against servers that misbehave on purpose: each run must end within
// a bounded time with a clear failure, delete nothing and leave no partial file under a real
// name.
#include <gtest/gtest.h>

#include "common/Text.h"
#include "remote/RemoteSource.h"
#include "sync/OrnivelSynchronizer.h"
#include "tests/support/TestSupport.h"
#include "tests/support/deployserver/TestDeploymentServer.h"
#include "config/StoredValues.h"

namespace ornivel {
namespace {

using test::HttpAnswer;
using test::TempFolder;

const std::wstring kKey = test::testRegistryKey(L"hostile") + L"\\";

class HostileServer : public ::testing::Test {
protected:
    HostileServer() : cd_(inst_.path()) {
        log_.addAppender(&capture_);
        server_.putFile(L"module\\a.jar", "module a");
        server_.putFile(L"module\\big.jar", std::string(300000, 'b'));
        server_.publish();
        server_.writeServerFile(inst_.path());
        inst_.write(L"module\\unlisted.jar", "deleted only by a good list");
        inst_.write(L"module\\big.jar", "the version before");
    }
    ~HostileServer() override { RegDeleteTreeW(HKEY_CURRENT_USER, test::testRegistryKey(L"hostile").c_str()); }

    bool logged(int level, const std::wstring& text) const { return capture_.has(level, text); }
    // One run; its result, and the seconds it took in `seconds`.
    bool run(double& seconds) {
        capture_.messages.clear();
        const DWORD start = GetTickCount();
        OrnivelSynchronizer sync(false, inst_.path(), log_, false);
        const bool result = sync.synchronizeFolder(kKey, L"");
        seconds = (GetTickCount() - start) / 1000.0;
        return result;
    }
    void answerWithServers() {
        server_.http().routePrefix("/check/clientChecksum%3d", {HttpAnswer::ok(server_.serverRecord("http"))});
    }
    // Nothing deleted, the listed file not replaced by what the server sent (what arrived of
    // it waits under its partial name to be continued).
    void expectNothingLost() { EXPECT_EQ(inst_.read(L"module\\big.jar"), "the version before"); }
    std::string messages() const {
        std::wstring text;
        for (const auto& [level, message] : capture_.messages)
            text += std::to_wstring(level) + L" " + message.substr(0, 300) + L"\n";
        return toUtf8(text);
    }

    TempFolder inst_{L"hostile"};
    test::WorkingFolder cd_;
    test::CapturingAppender capture_;
    LogDriver log_{L"ornivel"};
    test::TestDeploymentServer server_;
};

// The hostile answers, by name. WinHTTP in Wine neither limits the size of a response header
// nor its time as a whole (Windows does, and the launcher sets both limits), so the two
// header attacks reach the socket client: WinHTTP gets a 404 first.
std::vector<HttpAnswer> hostileAnswers(const std::string& name, const std::string& list) {
    HttpAnswer answer = HttpAnswer::ok(list);
    if (name == "short") answer.contentLength = std::to_string(list.size() + 100), answer.close = true;
    if (name == "long") answer.contentLength = std::to_string(list.size() / 2);
    if (name == "reset") answer.resetAfter = 20;
    if (name == "4gib") answer.contentLength = "4294967296", answer.close = true;
    if (name == "2pow63") answer.contentLength = "9223372036854775808", answer.close = true;
    if (name == "redirects") answer = HttpAnswer::withStatus(302).header("Location", "/deploy/TarnFileList.xml");
    if (name == "refreshes") answer = HttpAnswer::ok("").header("Refresh", "0");
    if (name == "stall") answer.stallAfter = 10;
    if (name == "garbage") {
        answer = HttpAnswer();
        for (int i = 0; i < 5000; ++i) answer.raw += static_cast<char>((i * 7919) % 251);
    }
    if (name == "trickle" || name == "endless") {
        answer.bytesPerSecond = name == "trickle" ? 1 : 0;
        answer.endlessHeader = name == "endless";
        return {HttpAnswer::withStatus(404), answer};
    }
    return {answer};
}

// Seconds a run may take at most: the receive time-outs of WinHTTP (30 s) and of the socket
// client (10 s, three attempts) for a server that stops sending; the header deadline (15 s,
// three attempts) for one that trickles; 64 KiB read a byte at a time for an endless header.
double boundFor(const std::string& name) {
    if (name == "stall") return 75;
    if (name == "trickle" || name == "endless") return 60;
    return 45;
}

class HostileList : public HostileServer, public ::testing::WithParamInterface<const char*> {};

TEST_P(HostileList, EndsInBoundedTimeAndChangesNothing) {
    answerWithServers();
    server_.http().route("/deploy/TarnFileList.xml", hostileAnswers(GetParam(), server_.fileListText()));
    double seconds = 0;
    EXPECT_FALSE(run(seconds)) << messages();
    std::printf("%-10s %6.1f s\n", GetParam(), seconds);
    EXPECT_TRUE(inst_.exists(L"module\\unlisted.jar"));
    expectNothingLost();
    EXPECT_LT(seconds, boundFor(GetParam())) << messages();
    EXPECT_TRUE(logged(LOG_FATAL, L"An error occured while retrieving automatic updates: \r\nDownload of file list "
                                  L"failed.\r\n\r\nSee log file for details."));
}

INSTANTIATE_TEST_SUITE_P(Answers, HostileList,
                         ::testing::Values("trickle", "endless", "short", "long", "reset", "4gib", "2pow63",
                                           "redirects", "refreshes", "stall", "garbage"));

TEST_F(HostileServer, AFileThatBreaksOffLeavesNothingUnderItsName) {
    answerWithServers();
    HttpAnswer reset = HttpAnswer::ok(std::string(300000, 'b'));
    reset.resetAfter = 150000;
    server_.http().route("/deploy/module/big.jar", reset);
    double seconds = 0;
    EXPECT_FALSE(run(seconds));
    expectNothingLost();
    EXPECT_LT(seconds, 40);
}

TEST_F(HostileServer, AVersionAnswerOfTenMegabytesIsNotTaken) {
    server_.http().routePrefix("/check/clientChecksum%3d", {HttpAnswer::ok(std::string(10 << 20, '|'))});
    double seconds = 0;
    EXPECT_FALSE(run(seconds));
    EXPECT_TRUE(logged(LOG_ERROR, L"The answer of the version check is longer than 65536 bytes and is not used."));
    EXPECT_TRUE(inst_.exists(L"module\\unlisted.jar"));
    EXPECT_EQ(RegistryString(kKey).get(), L"");
    EXPECT_LT(seconds, 20);
}

TEST_F(HostileServer, AServerWithAWrongCertificateIsNeverAskedInClearText) {
    if (server_.http().httpsPort() == 0) GTEST_SKIP() << "no TLS in this prefix";
    // The certificate names "localhost", not the address: TLS fails.
    server_.http().routePrefix("/check/clientChecksum%3d",
                               {HttpAnswer::ok("https|127.0.0.1|/deploy|" + std::to_string(server_.http().httpsPort()) + "|||")});
    double seconds = 0;
    EXPECT_FALSE(run(seconds));
    EXPECT_TRUE(inst_.exists(L"module\\unlisted.jar"));
    EXPECT_FALSE(capture_.hasPrefix(LOG_DEBUG, L"Using URL 'http://"));  // no socket client at all
    for (const auto& request : server_.http().requests())
        EXPECT_EQ(request.target().rfind("/deploy/", 0), std::string::npos) << request.requestLine();
    EXPECT_LT(seconds, 20);
}

} // namespace
} // namespace ornivel
