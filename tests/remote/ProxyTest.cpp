// Proxies with a real squid on loopback: the policy's fixed proxy, the user's static proxy
// and its bypass list, an auto-config script, Basic credentials from the credential store and
// from the prompt, the socket client through the proxy, and a machine without settings. The
// test host name resolves through the proxy only, so a request that bypasses it fails.
#include <gtest/gtest.h>

#include <thread>

#include "common/Registry.h"
#include "common/Text.h"
#include "remote/ProxyCredentials.h"
#include "remote/ProxyDiscovery.h"
#include "remote/SocketSource.h"
#include "remote/WinHttpSource.h"
#include "res/resource.h"
#include "tests/remote/RemoteTestSupport.h"
#include "tests/support/squid/SquidHost.h"
#include "tests/support/windows/WindowDriver.h"
#include "ui/CDialogProxyCredentials.h"

namespace ornivel {
namespace {

using test::HttpAnswer;
using test::sharedServer;
using test::TempFolder;

const wchar_t* const kHost = L"deploy.ornivel-proxy.test";
const std::wstring kPolicyKey = test::testRegistryKey(L"proxy-policy");
const wchar_t* const kConnections = L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Connections";

test::SquidHost& squid() {
    static test::SquidHost host({"deploy.ornivel-proxy.test"}, {"anna:s3cret"});
    return host;
}

size_t countOf(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

std::wstring loopback(int port) { return L"127.0.0.1:" + std::to_wstring(port); }

// The user's Internet settings as WinHTTP reads them: DefaultConnectionSettings, 0x46, a
// counter, the flags, then the proxy, bypass and script texts, each after its length.
std::string connectionSettings(DWORD flags, const std::string& proxy, const std::string& bypass,
                               const std::string& script) {
    std::string bytes;
    const auto number = [&](DWORD value) { bytes.append(reinterpret_cast<const char*>(&value), 4); };
    number(0x46);
    number(1);
    number(flags);
    for (const std::string* text : {&proxy, &bypass, &script}) {
        number(static_cast<DWORD>(text->size()));
        bytes += *text;
    }
    bytes.append(32, '\0');
    return bytes;
}

class Proxy : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sharedServer().running());
        ASSERT_TRUE(squid().running());
        sharedServer().clear();
        ProxyDiscovery::instance().setPolicyKeyForTests(kPolicyKey);
        ProxyDiscovery::instance().forget();
        forgetProxyCredentials();
        setProxyCredentialPrompt(nullptr);
        RegDeleteTreeW(HKEY_CURRENT_USER, kPolicyKey.c_str());
        sharedServer().route("/app/f.txt", HttpAnswer::ok("through the proxy"));
    }
    void TearDown() override {
        RegDeleteTreeW(HKEY_CURRENT_USER, kPolicyKey.c_str());
        deleteStoredProxyCredential(loopback(squid().authPort()));
        setProxyCredentialPrompt(nullptr);
    }
    void policy(const std::wstring& mode, const std::wstring& name = L"", const std::wstring& value = L"") {
        UniqueRegKey key = createRegistryKey(HKEY_CURRENT_USER, kPolicyKey);
        writeRegistryText(key.get(), L"ProxyMode", mode);
        if (!name.empty()) writeRegistryText(key.get(), name.c_str(), value);
    }
    unsigned short port() const { return static_cast<unsigned short>(sharedServer().httpPort()); }
    bool winHttp(const std::wstring& host, const std::wstring& name = L"f.txt") {
        RemoteSourceWININET source(host, L"/app", port(), log.log, false);
        return source.download(name, temp / name, nullptr) && temp.read(name) == "through the proxy";
    }
    bool socket(const std::wstring& host) {
        RemoteSourceHTTP source(host, L"app", port(), log.log, true);
        return source.download(L"f.txt", temp / L"s.txt", nullptr) && temp.read(L"s.txt") == "through the proxy";
    }
    bool decided(const std::wstring& host, const std::wstring& how) {
        return log.appender.has(LOG_INFO, L"Connection to " + host + L":" + std::to_wstring(port()) + L": " + how + L".");
    }
    // No log line holds the secret, in clear or as Basic credentials.
    void expectSecretNeverLogged() {
        for (const auto& m : log.appender.messages) {
            EXPECT_EQ(m.second.find(L"s3cret"), std::wstring::npos) << m.second;
            EXPECT_EQ(m.second.find(L"YW5uYTpzM2NyZXQ="), std::wstring::npos) << m.second;
        }
    }
    test::CapturedLog log;
    TempFolder temp{L"proxy"};
};

TEST_F(Proxy, WithoutSettingsEveryRequestGoesDirectAsBefore) {
    ASSERT_TRUE(winHttp(L"127.0.0.1"));
    EXPECT_TRUE(decided(L"127.0.0.1", L"direct"));
    ASSERT_TRUE(socket(L"127.0.0.1"));
    const auto requests = sharedServer().requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].requestLine(), "GET /app/f.txt HTTP/1.1");
    EXPECT_EQ(requests[1].raw, "GET /app/f.txt HTTP/1.1\r\nAccept: */*\r\nAccept-Language: *\r\nUser-Agent: "
                               "Mozilla/4.0\r\nHost: 127.0.0.1\r\n\r\n");
    // One decision per server and run, logged once.
    EXPECT_EQ(test::countPrefix(log.appender, LOG_INFO, L"Connection to 127.0.0.1:"), 1u);
    // The name only the proxy knows cannot be reached without it.
    EXPECT_FALSE(winHttp(kHost));
    // Negotiate and NTLM to a proxy go with the logged-on user: the request takes the setting.
    RemoteSourceWININET source(L"127.0.0.1", L"/app", port(), log.log, false);
    EXPECT_TRUE(source.proxy().empty());
}

TEST_F(Proxy, ThePolicysFixedProxyCarriesBothClients) {
    policy(L"fixed", L"ProxyServer", loopback(squid().openPort()));
    ASSERT_TRUE(winHttp(kHost)) << test::readFileBytes(squid().accessLog());
    EXPECT_TRUE(decided(kHost, L"proxy " + loopback(squid().openPort()) + L" from the policy"));
    ASSERT_TRUE(socket(kHost));
    EXPECT_EQ(sharedServer().requests().size(), 2u);
    EXPECT_NE(test::readFileBytes(squid().accessLog()).find("GET http://deploy.ornivel-proxy.test:"), std::string::npos);

    // The socket client's request through a proxy: the absolute URL, the rest unchanged. (The
    // test server plays the proxy here, so that the bytes can be seen.)
    ProxyDiscovery::instance().forget();
    sharedServer().clear();
    policy(L"fixed", L"ProxyServer", loopback(port()));
    const std::string target = "http://DEPLOY.ORNIVEL-PROXY.TEST:" + std::to_string(port()) + "/app/f.txt";
    sharedServer().route(target, HttpAnswer::ok("through the proxy"));
    ASSERT_TRUE(socket(kHost));
    const auto requests = sharedServer().requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].raw, "GET " + target + " HTTP/1.1\r\nAccept: */*\r\nAccept-Language: *\r\nUser-Agent: "
                               "Mozilla/4.0\r\nHost: DEPLOY.ORNIVEL-PROXY.TEST\r\n\r\n");

    // "direct" in the policy wins over everything else.
    ProxyDiscovery::instance().forget();
    policy(L"direct");
    EXPECT_FALSE(winHttp(kHost));
    EXPECT_TRUE(decided(kHost, L"direct"));
}

TEST_F(Proxy, TheUsersStaticProxyWithItsBypassList) {
    std::wstring saved;
    DWORD savedType = 0;
    UniqueRegKey key = createRegistryKey(HKEY_CURRENT_USER, kConnections);
    ASSERT_TRUE(key);
    std::vector<BYTE> old(4096);
    DWORD oldSize = static_cast<DWORD>(old.size());
    const bool hadOld = RegQueryValueExW(key.get(), L"DefaultConnectionSettings", nullptr, &savedType, old.data(),
                                         &oldSize) == ERROR_SUCCESS;
    // Other test programs of this prefix may run meanwhile: their loopback names are bypassed.
    const std::string settings = connectionSettings(
        3, toAnsi(loopback(squid().openPort())), "<local>;127.0.0.1;*.bypassed.ornivel-proxy.test", "");
    ASSERT_EQ(RegSetValueExW(key.get(), L"DefaultConnectionSettings", 0, REG_BINARY,
                             reinterpret_cast<const BYTE*>(settings.data()), static_cast<DWORD>(settings.size())),
              ERROR_SUCCESS);
    policy(L"system");  // the policy leaves the choice to the user's settings

    EXPECT_TRUE(winHttp(kHost));
    EXPECT_TRUE(decided(kHost, L"proxy " + loopback(squid().openPort()) + L" from the Internet settings"));
    EXPECT_TRUE(winHttp(L"localhost"));
    EXPECT_TRUE(decided(L"localhost", L"direct"));
    EXPECT_FALSE(winHttp(L"a.bypassed.ornivel-proxy.test"));  // bypassed, so never resolved
    EXPECT_TRUE(decided(L"a.bypassed.ornivel-proxy.test", L"direct"));

    if (hadOld)
        RegSetValueExW(key.get(), L"DefaultConnectionSettings", 0, savedType, old.data(), oldSize);
    else
        RegDeleteValueW(key.get(), L"DefaultConnectionSettings");
}

TEST_F(Proxy, AnAutoConfigScriptServedByTheServerAndOneThatFails) {
    sharedServer().route("/proxy.pac", HttpAnswer::ok("function FindProxyForURL(url, host) {\n"
                                                      "  if (host == \"deploy.ornivel-proxy.test\")\n"
                                                      "    return \"PROXY " +
                                                      toAnsi(loopback(squid().openPort())) +
                                                      "\";\n  return \"DIRECT\";\n}\n")
                                               .header("Content-Type", "application/x-ns-proxy-autoconfig"));
    policy(L"pac", L"ProxyPacUrl", L"http://" + loopback(port()) + L"/proxy.pac");
    ASSERT_TRUE(winHttp(kHost));
    EXPECT_TRUE(decided(kHost, L"proxy " + loopback(squid().openPort()) + L" from the auto-config script"));
    ASSERT_TRUE(socket(kHost));

    // A script that cannot be fetched falls through to the next step: here, direct.
    ProxyDiscovery::instance().forget();
    policy(L"pac", L"ProxyPacUrl", L"http://" + loopback(port()) + L"/missing.pac");
    EXPECT_FALSE(winHttp(kHost));
    EXPECT_TRUE(decided(kHost, L"direct"));
}

TEST_F(Proxy, BasicCredentialsFromTheStoreForBothClients) {
    const std::wstring proxy = loopback(squid().authPort());
    policy(L"fixed", L"ProxyServer", proxy);
    // Without a credential the proxy refuses, and says so.
    EXPECT_FALSE(winHttp(kHost));
    EXPECT_TRUE(log.appender.has(LOG_FATAL, L"Error 407 While calling URL: /app/f.txt\r\nThe proxy server " + proxy +
                                                L" refused the credentials."));
    EXPECT_FALSE(socket(kHost));

    // What `cmdkey /generic:HOST:PORT /user:anna /pass:s3cret` stores.
    ASSERT_TRUE(storeProxyCredential(proxy, {L"anna", L"s3cret"}));
    ASSERT_TRUE(winHttp(kHost));
    ASSERT_TRUE(socket(kHost));
    // A second file goes with the credential at once: no further challenge.
    sharedServer().route("/app/g.txt", HttpAnswer::ok("through the proxy"));
    {
        RemoteSourceWININET source(kHost, L"/app", port(), log.log, false);
        ASSERT_TRUE(source.download(L"f.txt", temp / L"f.txt", nullptr));
        const size_t challenges = countOf(test::readFileBytes(squid().accessLog()), "TCP_DENIED/407");
        ASSERT_TRUE(source.download(L"g.txt", temp / L"g.txt", nullptr));
        EXPECT_EQ(countOf(test::readFileBytes(squid().accessLog()), "TCP_DENIED/407"), challenges);
    }
    expectSecretNeverLogged();

    // A wrong stored credential is refused.
    forgetProxyCredentials();
    ASSERT_TRUE(storeProxyCredential(proxy, {L"anna", L"wrong"}));
    EXPECT_FALSE(winHttp(kHost));
    EXPECT_FALSE(socket(kHost));
    EXPECT_TRUE(log.appender.has(LOG_ERROR, L"The proxy server " + proxy +
                                                L" refused the credentials (HTTP 407) for URL 'http://" +
                                                L"deploy.ornivel-proxy.test:" + std::to_wstring(port()) +
                                                L"/app/f.txt'."));
}

TEST_F(Proxy, ThePromptAsksOnceAndRemembersWhenTold) {
    const std::wstring proxy = loopback(squid().authPort());
    policy(L"fixed", L"ProxyServer", proxy);
    int asked = 0;
    setProxyCredentialPrompt([&](const std::wstring& who, ProxyCredential& credential, bool& remember) {
        ++asked;
        EXPECT_EQ(who, proxy);
        return askProxyCredential(nullptr, who, credential, remember);
    });
    bool delivered = false;
    std::thread download([&] { delivered = winHttp(kHost); });
    test::WindowQuery query;
    query.title = L"Proxy authentication";
    query.className = L"#32770";
    query.processId = GetCurrentProcessId();
    HWND dialog = test::waitForWindow(query);
    ASSERT_NE(dialog, nullptr);
    EXPECT_NE(test::controlText(dialog, IDC_PROXY_TEXT).find(proxy), std::wstring::npos);
    EXPECT_FALSE(test::controlEnabled(dialog, IDOK));
    test::setControlText(dialog, IDC_PROXY_USER, L"anna");
    test::setControlText(dialog, IDC_PROXY_PASSWORD, L"s3cret");
    SendMessageW(GetDlgItem(dialog, IDC_PROXY_REMEMBER), BM_SETCHECK, BST_CHECKED, 0);
    EXPECT_TRUE(test::controlEnabled(dialog, IDOK));
    test::clickButton(dialog, IDOK);
    download.join();
    EXPECT_TRUE(delivered);
    EXPECT_EQ(asked, 1);
    ProxyCredential stored;
    ASSERT_TRUE(readStoredProxyCredential(proxy, stored));
    EXPECT_EQ(stored.user, L"anna");
    EXPECT_EQ(stored.password, L"s3cret");
    // The rest of the run uses what was typed; the user is never asked twice.
    sharedServer().route("/app/g.txt", HttpAnswer::ok("through the proxy"));
    EXPECT_TRUE(winHttp(kHost, L"g.txt"));
    EXPECT_EQ(asked, 1);
    expectSecretNeverLogged();
}

TEST_F(Proxy, TheTextRules) {
    EXPECT_EQ(proxyForScheme(L"proxy:8080", false), L"proxy:8080");
    EXPECT_EQ(proxyForScheme(L"http://proxy", false), L"proxy:80");
    EXPECT_EQ(proxyForScheme(L"https=s:443;http=p:3128", false), L"p:3128");
    EXPECT_EQ(proxyForScheme(L"https=s:443;http=p:3128", true), L"s:443");
    EXPECT_EQ(proxyForScheme(L"ftp=f:21", false), L"");
    EXPECT_EQ(proxyForScheme(L"PROXY a:1; PROXY b:2; DIRECT", false), L"a:1");
    EXPECT_EQ(proxyForScheme(L"DIRECT", false), L"");
    EXPECT_TRUE(bypassListMatches(L"<local>", L"intranet"));
    EXPECT_FALSE(bypassListMatches(L"<local>", L"deploy.example.com"));
    EXPECT_TRUE(bypassListMatches(L"*.EXAMPLE.com;10.*", L"deploy.example.com"));
    EXPECT_TRUE(bypassListMatches(L"foo; http://10.*:8080", L"10.1.2.3"));
    EXPECT_FALSE(bypassListMatches(L"*.example.com", L"example.org"));
    EXPECT_EQ(parseProxyPolicyMode(L"PAC"), ProxyPolicyMode::Pac);
    EXPECT_EQ(parseProxyPolicyMode(L"auto"), ProxyPolicyMode::Unknown);
    EXPECT_EQ(basicCredentials(L"Aladdin", L"open sesame"), "Basic QWxhZGRpbjpvcGVuIHNlc2FtZQ==");
    EXPECT_EQ(base64("ab"), "YWI=");
    EXPECT_TRUE(offersBasicProxyAuth("HTTP/1.1 407 x\r\nProxy-Authenticate: NTLM\r\nproxy-authenticate: basic "
                                     "realm=\"r\"\r\n\r\n"));
    EXPECT_FALSE(offersBasicProxyAuth("HTTP/1.1 407 x\r\nProxy-Authenticate: Negotiate\r\n\r\n"));
    EXPECT_EQ(absoluteRequestTarget("H", 80, "/a"), "http://H/a");
    EXPECT_EQ(maskProxyAuthorization("GET / HTTP/1.1\r\nProxy-Authorization: Basic abc\r\nHost: h\r\n\r\n"),
              "GET / HTTP/1.1\r\nProxy-Authorization: ***\r\nHost: h\r\n\r\n");
    ProxyDecision d;
    EXPECT_EQ(describeProxyDecision(d), L"direct");
    d.proxy = L"p:1";
    d.origin = ProxyOrigin::MachineDefault;
    EXPECT_EQ(describeProxyDecision(d), L"proxy p:1 from the machine default");
}

} // namespace
} // namespace ornivel
