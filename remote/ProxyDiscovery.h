#pragma once
// Which way the requests of a server go: through a proxy or direct. Asked once per server
// and run; every source of that server (the version check, the list, the files, the
// signature, WinHTTP and the socket client alike) takes the same decision.
#include <map>
#include <mutex>
#include <string>

#include "logdriver/LogDriver.h"
#include "remote/ProxyText.h"

namespace ornivel {

class ProxyDiscovery {
public:
    // The one discovery of the process.
    static ProxyDiscovery& instance();

    // The decision for requests to host:port (https when `secure`), first match wins:
    // 1. the policy under HKLM, then HKCU (ProxyMode "direct", "fixed" with ProxyServer,
    //    "pac" with ProxyPacUrl, "system"; ProxyBypass); 2. the user's Internet settings
    //    (auto-detection and the auto-config script, else the static proxy with its bypass
    //    list); 3. WinHTTP's machine default; 4. direct. A script that cannot be fetched or
    //    evaluated falls through to the next step. The first decision for a server is logged
    //    at info ("Connection to HOST:PORT: ...").
    ProxyDecision decide(const std::wstring& host, unsigned short port, bool secure, const LogDriver& log);

    // The key the policy is read from under HKLM and HKCU.
    static constexpr const wchar_t* kPolicyKey = L"Software\\Policies\\Torbenwald\\ornivel";

    // For tests: the policy read from this key (under HKCU only) instead, and every decision
    // made afresh (a new run).
    void setPolicyKeyForTests(const std::wstring& key);
    void forget();

private:
    ProxyDiscovery() = default;
    ProxyDecision discover(const std::wstring& host, unsigned short port, bool secure, const LogDriver& log);
    bool fromPolicy(const std::wstring& url, const std::wstring& host, bool secure, const LogDriver& log,
                    ProxyDecision& decision);
    bool fromInternetSettings(const std::wstring& url, const std::wstring& host, bool secure, const LogDriver& log,
                              ProxyDecision& decision);
    bool fromMachineDefault(const std::wstring& host, bool secure, ProxyDecision& decision);

    std::mutex lock_;
    std::map<std::wstring, ProxyDecision> decisions_;
    std::wstring testPolicyKey_;
};

// Evaluates an auto-config script (auto-detection when `scriptUrl` is empty) for `url`;
// false when it cannot be fetched or evaluated. `proxyList` is the script's answer as
// WinHTTP gives it, empty for direct.
bool evaluateAutoConfig(const std::wstring& url, const std::wstring& scriptUrl, std::wstring& proxyList,
                        const LogDriver& log);

} // namespace ornivel
