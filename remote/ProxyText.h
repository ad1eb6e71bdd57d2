#pragma once
// The text side of proxies: how a decision reads in the log, the proxy lists and bypass
// lists as Windows writes them, the policy's mode, and the Basic credentials and absolute
// request URL of the socket client. No I/O here.
#include <string>

namespace ornivel {

// Where a server's proxy decision came from, in the order discovery asks.
enum class ProxyOrigin { None, Policy, AutoConfig, InternetSettings, MachineDefault };

struct ProxyDecision {
    std::wstring proxy;  // "HOST:PORT", empty: direct
    ProxyOrigin origin = ProxyOrigin::None;
    bool direct() const { return proxy.empty(); }
};

// "direct", or "proxy HOST:PORT from the policy" (the auto-config script, the Internet
// settings, the machine default).
std::wstring describeProxyDecision(const ProxyDecision& decision);

// The proxy for a request of scheme http (secure false) or https from a proxy list: entries
// separated by ";" or white space, each "HOST[:PORT]" (optionally "http://HOST:PORT"), or
// "SCHEME=HOST[:PORT]" for one scheme only; a PAC answer's "PROXY HOST:PORT" and "DIRECT"
// are understood as well. The first entry that serves the scheme, as "HOST:PORT" (port 80
// when none is given); empty when none does (direct).
std::wstring proxyForScheme(const std::wstring& list, bool secure);

// Whether `host` is in a bypass list as Windows writes it (entries separated by ";", "," or
// white space; "*" matches any run of characters; letter case ignored; an optional scheme
// before the host and a port after it are not compared; "<local>" matches every name
// without a dot).
bool bypassListMatches(const std::wstring& list, const std::wstring& host);

// The policy value ProxyMode.
enum class ProxyPolicyMode { Unset, Direct, System, Fixed, Pac, Unknown };
ProxyPolicyMode parseProxyPolicyMode(const std::wstring& text);

// "HOST:PORT" split; false when the port is missing or not a number from 1 to 65535.
bool splitHostPort(const std::wstring& text, std::wstring& host, int& port);

// Standard Base64 with padding.
std::string base64(const std::string& bytes);
// The value of a Basic Proxy-Authorization: "Basic " and Base64 of "USER:PASSWORD" in UTF-8.
std::string basicCredentials(const std::wstring& user, const std::wstring& password);

// Whether a 407 answer's header offers the Basic scheme (one of its Proxy-Authenticate
// fields, letter case ignored).
bool offersBasicProxyAuth(const std::string& header);

// The request target through an HTTP proxy: "http://" HOST, ":" PORT unless it is 80, and
// the path.
std::string absoluteRequestTarget(const std::string& host, int port, const std::string& path);

// The request text with the value of its Proxy-Authorization field replaced by "***", for
// the log.
std::string maskProxyAuthorization(const std::string& text);

} // namespace ornivel
