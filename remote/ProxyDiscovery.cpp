#include "remote/ProxyDiscovery.h"

#include <windows.h>
#include <winhttp.h>

#include <cwctype>

#include "common/Registry.h"
#include "logdriver/LastError.h"
#include "remote/WinHttpHandle.h"

namespace ornivel {

namespace {

// Texts that WinHTTP hands over for the caller to release.
struct GlobalText {
    LPWSTR text = nullptr;
    ~GlobalText() {
        if (text) GlobalFree(text);
    }
    std::wstring value() const { return text ? text : L""; }
};

std::wstring serverKey(const std::wstring& host, unsigned short port, bool secure) {
    std::wstring key = (secure ? L"https://" : L"http://") + host + L":" + std::to_wstring(port);
    for (wchar_t& c : key) c = static_cast<wchar_t>(std::towlower(c));
    return key;
}

// The decision for a proxy list and its bypass list: direct when the host is bypassed or no
// entry serves the scheme.
ProxyDecision decisionFor(const std::wstring& list, const std::wstring& bypass, const std::wstring& host, bool secure,
                          ProxyOrigin origin) {
    ProxyDecision decision;
    decision.origin = origin;
    if (!bypassListMatches(bypass, host)) decision.proxy = proxyForScheme(list, secure);
    return decision;
}

} // namespace

ProxyDiscovery& ProxyDiscovery::instance() {
    static auto* discovery = new ProxyDiscovery;  // used until the process ends
    return *discovery;
}

void ProxyDiscovery::setPolicyKeyForTests(const std::wstring& key) {
    std::lock_guard<std::mutex> guard(lock_);
    testPolicyKey_ = key;
}

void ProxyDiscovery::forget() {
    std::lock_guard<std::mutex> guard(lock_);
    decisions_.clear();
}

ProxyDecision ProxyDiscovery::decide(const std::wstring& host, unsigned short port, bool secure, const LogDriver& log) {
    const std::wstring key = serverKey(host, port, secure);
    // One decision per server and run; discovery may fetch a script, so two threads asking
    // for the same server at once wait for one discovery.
    std::lock_guard<std::mutex> guard(lock_);
    const auto known = decisions_.find(key);
    if (known != decisions_.end()) return known->second;
    const ProxyDecision decision = discover(host, port, secure, log);
    decisions_[key] = decision;
    LogDriver(log).log(LOG_INFO, L"Connection to %s:%u: %s.", host.c_str(), static_cast<unsigned>(port),
                       describeProxyDecision(decision).c_str());
    return decision;
}

ProxyDecision ProxyDiscovery::discover(const std::wstring& host, unsigned short port, bool secure,
                                       const LogDriver& log) {
    const std::wstring url = (secure ? L"https://" : L"http://") + host + L":" + std::to_wstring(port) + L"/";
    ProxyDecision decision;
    if (fromPolicy(url, host, secure, log, decision)) return decision;
    if (fromInternetSettings(url, host, secure, log, decision)) return decision;
    if (fromMachineDefault(host, secure, decision)) return decision;
    return ProxyDecision();
}

bool ProxyDiscovery::fromPolicy(const std::wstring& url, const std::wstring& host, bool secure, const LogDriver& log,
                                ProxyDecision& decision) {
    LogDriver logger(log);
    const bool testing = !testPolicyKey_.empty();
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        if (testing && root == HKEY_LOCAL_MACHINE) continue;
        UniqueRegKey key = openRegistryKey(root, testing ? testPolicyKey_ : std::wstring(kPolicyKey));
        std::wstring modeText;
        if (!key || !readRegistryText(key.get(), L"ProxyMode", modeText)) continue;
        std::wstring server, pacUrl, bypass;
        readRegistryText(key.get(), L"ProxyServer", server);
        readRegistryText(key.get(), L"ProxyPacUrl", pacUrl);
        readRegistryText(key.get(), L"ProxyBypass", bypass);
        switch (parseProxyPolicyMode(modeText)) {
        case ProxyPolicyMode::Unset:
            continue;  // an empty value under HKLM leaves the choice to HKCU
        case ProxyPolicyMode::Direct:
            decision = ProxyDecision();
            decision.origin = ProxyOrigin::Policy;
            return true;
        case ProxyPolicyMode::System:
            return false;
        case ProxyPolicyMode::Fixed:
            decision = decisionFor(server, bypass, host, secure, ProxyOrigin::Policy);
            if (decision.direct() && !bypassListMatches(bypass, host)) {
                logger.log(LOG_WARNING, L"The proxy policy names no usable ProxyServer ('%s'); it is not used.",
                           server.c_str());
                return false;
            }
            return true;
        case ProxyPolicyMode::Pac: {
            if (bypassListMatches(bypass, host)) {
                decision = ProxyDecision();
                decision.origin = ProxyOrigin::Policy;
                return true;
            }
            std::wstring list;
            if (pacUrl.empty() || !evaluateAutoConfig(url, pacUrl, list, log)) return false;
            decision = decisionFor(list, L"", host, secure, ProxyOrigin::AutoConfig);
            return true;
        }
        case ProxyPolicyMode::Unknown:
            logger.log(LOG_WARNING, L"The proxy policy's ProxyMode '%s' is unknown; it is not used.",
                       modeText.c_str());
            return false;
        }
    }
    return false;
}

bool ProxyDiscovery::fromInternetSettings(const std::wstring& url, const std::wstring& host, bool secure,
                                          const LogDriver& log, ProxyDecision& decision) {
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG settings{};
    if (!WinHttpGetIEProxyConfigForCurrentUser(&settings)) return false;
    GlobalText scriptUrl{settings.lpszAutoConfigUrl}, proxy{settings.lpszProxy}, bypass{settings.lpszProxyBypass};
    std::wstring list;
    if ((settings.fAutoDetect && evaluateAutoConfig(url, L"", list, log)) ||
        (!scriptUrl.value().empty() && evaluateAutoConfig(url, scriptUrl.value(), list, log))) {
        decision = decisionFor(list, L"", host, secure, ProxyOrigin::AutoConfig);
        return true;
    }
    if (proxy.value().empty()) return false;
    decision = decisionFor(proxy.value(), bypass.value(), host, secure, ProxyOrigin::InternetSettings);
    return true;
}

bool ProxyDiscovery::fromMachineDefault(const std::wstring& host, bool secure, ProxyDecision& decision) {
    WINHTTP_PROXY_INFO info{};
    if (!WinHttpGetDefaultProxyConfiguration(&info)) return false;
    GlobalText proxy{info.lpszProxy}, bypass{info.lpszProxyBypass};
    if (info.dwAccessType != WINHTTP_ACCESS_TYPE_NAMED_PROXY || proxy.value().empty()) return false;
    decision = decisionFor(proxy.value(), bypass.value(), host, secure, ProxyOrigin::MachineDefault);
    return true;
}

bool evaluateAutoConfig(const std::wstring& url, const std::wstring& scriptUrl, std::wstring& proxyList,
                        const LogDriver& log) {
    LogDriver logger(log);
    WinHttpHandle session(openWinHttpSession(L""));  // the script itself is fetched direct
    if (!session) return false;
    WINHTTP_AUTOPROXY_OPTIONS options{};
    if (scriptUrl.empty()) {
        options.dwFlags = WINHTTP_AUTOPROXY_AUTO_DETECT;
        options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
    } else {
        options.dwFlags = WINHTTP_AUTOPROXY_CONFIG_URL;
        options.lpszAutoConfigUrl = scriptUrl.c_str();
    }
    // A script server that asks who is fetching it gets the logged-on user.
    options.fAutoLogonIfChallenged = TRUE;
    WINHTTP_PROXY_INFO info{};
    if (!WinHttpGetProxyForUrl(session.get(), url.c_str(), &options, &info)) {
        logger.log(LOG_INFO, L"The proxy auto-config script%s%s could not be used: %s",
                   scriptUrl.empty() ? L" (auto-detection)" : L" ", scriptUrl.c_str(), LastError().text().c_str());
        return false;
    }
    GlobalText proxy{info.lpszProxy}, bypass{info.lpszProxyBypass};
    proxyList = info.dwAccessType == WINHTTP_ACCESS_TYPE_NAMED_PROXY ? proxy.value() : std::wstring();
    return true;
}

} // namespace ornivel
