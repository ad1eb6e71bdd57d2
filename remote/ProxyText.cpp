#include "remote/ProxyText.h"

#include <cctype>
#include <cwctype>
#include <vector>

#include "common/Text.h"

namespace ornivel {

namespace {

std::wstring lower(std::wstring text) {
    for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

bool isSeparator(wchar_t c, bool commaToo) {
    return c == L';' || c == L' ' || c == L'\t' || c == L'\r' || c == L'\n' || (commaToo && c == L',');
}

std::vector<std::wstring> entriesOf(const std::wstring& list, bool commaToo) {
    std::vector<std::wstring> entries;
    std::wstring entry;
    for (wchar_t c : list) {
        if (isSeparator(c, commaToo)) {
            if (!entry.empty()) entries.push_back(entry);
            entry.clear();
        } else {
            entry += c;
        }
    }
    if (!entry.empty()) entries.push_back(entry);
    return entries;
}

// "*" matches any run of characters (none included); both texts in lower case.
bool wildcardMatches(const wchar_t* pattern, const wchar_t* text) {
    const wchar_t* star = nullptr;
    const wchar_t* resume = nullptr;
    while (*text) {
        if (*pattern == L'*') {
            star = pattern++;
            resume = text;
        } else if (*pattern == *text) {
            ++pattern;
            ++text;
        } else if (star) {
            pattern = star + 1;
            text = ++resume;
        } else {
            return false;
        }
    }
    while (*pattern == L'*') ++pattern;
    return *pattern == 0;
}

std::wstring withoutScheme(const std::wstring& entry) {
    const size_t at = entry.find(L"://");
    return at == std::wstring::npos ? entry : entry.substr(at + 3);
}

// "HOST[:PORT][/...]" as "HOST:PORT"; empty when there is no host.
std::wstring normalisedProxy(const std::wstring& entry) {
    std::wstring text = withoutScheme(entry);
    const size_t slash = text.find(L'/');
    if (slash != std::wstring::npos) text.erase(slash);
    if (text.empty() || text[0] == L':') return std::wstring();
    if (text.find(L':') == std::wstring::npos) text += L":80";
    return text;
}

} // namespace

std::wstring describeProxyDecision(const ProxyDecision& decision) {
    if (decision.direct()) return L"direct";
    const wchar_t* from = L"";
    switch (decision.origin) {
    case ProxyOrigin::Policy: from = L" from the policy"; break;
    case ProxyOrigin::AutoConfig: from = L" from the auto-config script"; break;
    case ProxyOrigin::InternetSettings: from = L" from the Internet settings"; break;
    case ProxyOrigin::MachineDefault: from = L" from the machine default"; break;
    case ProxyOrigin::None: break;
    }
    return L"proxy " + decision.proxy + from;
}

std::wstring proxyForScheme(const std::wstring& list, bool secure) {
    const std::wstring wanted = secure ? L"https" : L"http";
    const std::vector<std::wstring> entries = entriesOf(list, false);
    for (size_t i = 0; i < entries.size(); ++i) {
        const std::wstring word = lower(entries[i]);
        if (word == L"direct") return std::wstring();
        // A PAC answer: "PROXY HOST:PORT" (its HOST:PORT is the next entry).
        if (word == L"proxy" || word == L"http" || word == L"https") {
            if (i + 1 < entries.size()) return normalisedProxy(entries[++i]);
            return std::wstring();
        }
        if (word == L"socks" || word == L"socks4" || word == L"socks5") {
            ++i;  // no SOCKS here
            continue;
        }
        const size_t equals = entries[i].find(L'=');
        if (equals != std::wstring::npos) {
            if (lower(entries[i].substr(0, equals)) == wanted) return normalisedProxy(entries[i].substr(equals + 1));
            continue;
        }
        const std::wstring proxy = normalisedProxy(entries[i]);
        if (!proxy.empty()) return proxy;
    }
    return std::wstring();
}

bool bypassListMatches(const std::wstring& list, const std::wstring& host) {
    const std::wstring name = lower(host);
    if (name.empty()) return false;
    for (const std::wstring& raw : entriesOf(list, true)) {
        std::wstring entry = lower(raw);
        if (entry == L"<local>") {
            if (name.find(L'.') == std::wstring::npos) return true;
            continue;
        }
        entry = withoutScheme(entry);
        const size_t colon = entry.find(L':');
        if (colon != std::wstring::npos) entry.erase(colon);
        if (!entry.empty() && wildcardMatches(entry.c_str(), name.c_str())) return true;
    }
    return false;
}

ProxyPolicyMode parseProxyPolicyMode(const std::wstring& text) {
    const std::wstring mode = lower(text);
    if (mode.empty()) return ProxyPolicyMode::Unset;
    if (mode == L"direct") return ProxyPolicyMode::Direct;
    if (mode == L"system") return ProxyPolicyMode::System;
    if (mode == L"fixed") return ProxyPolicyMode::Fixed;
    if (mode == L"pac") return ProxyPolicyMode::Pac;
    return ProxyPolicyMode::Unknown;
}

bool splitHostPort(const std::wstring& text, std::wstring& host, int& port) {
    const size_t colon = text.rfind(L':');
    if (colon == std::wstring::npos || colon == 0 || colon + 1 == text.size() || colon + 6 < text.size()) return false;
    int value = 0;
    for (size_t i = colon + 1; i < text.size(); ++i) {
        if (text[i] < L'0' || text[i] > L'9') return false;
        value = value * 10 + (text[i] - L'0');
    }
    if (value < 1 || value > 65535) return false;
    host = text.substr(0, colon);
    port = value;
    return true;
}

std::string base64(const std::string& bytes) {
    static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    text.reserve((bytes.size() + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const unsigned v = (static_cast<unsigned char>(bytes[i]) << 16) |
                           (static_cast<unsigned char>(bytes[i + 1]) << 8) | static_cast<unsigned char>(bytes[i + 2]);
        text += digits[v >> 18];
        text += digits[(v >> 12) & 63];
        text += digits[(v >> 6) & 63];
        text += digits[v & 63];
    }
    if (i < bytes.size()) {
        const bool two = i + 1 < bytes.size();
        const unsigned v = (static_cast<unsigned char>(bytes[i]) << 16) |
                           (two ? static_cast<unsigned char>(bytes[i + 1]) << 8 : 0u);
        text += digits[v >> 18];
        text += digits[(v >> 12) & 63];
        text += two ? digits[(v >> 6) & 63] : '=';
        text += '=';
    }
    return text;
}

std::string basicCredentials(const std::wstring& user, const std::wstring& password) {
    return "Basic " + base64(toUtf8(user + L":" + password));
}

bool offersBasicProxyAuth(const std::string& header) {
    static const std::string name = "proxy-authenticate:";
    size_t at = header.find('\n');
    while (at != std::string::npos) {
        const size_t start = at + 1;
        std::string line = header.substr(start, header.find('\n', start) - start);
        for (char& c : line) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (line.compare(0, name.size(), name) == 0) {
            const size_t scheme = line.find_first_not_of(" \t", name.size());
            if (scheme != std::string::npos && line.compare(scheme, 5, "basic") == 0 &&
                (scheme + 5 == line.size() || line[scheme + 5] == ' ' || line[scheme + 5] == '\r'))
                return true;
        }
        at = header.find('\n', start);
    }
    return false;
}

std::string absoluteRequestTarget(const std::string& host, int port, const std::string& path) {
    std::string target = "http://" + host;
    if (port != 80) target += ":" + std::to_string(port);
    return target + (path.empty() || path[0] != '/' ? "/" + path : path);
}

std::string maskProxyAuthorization(const std::string& text) {
    static const std::string name = "\r\nProxy-Authorization: ";
    std::string masked = text;
    const size_t at = masked.find(name);
    if (at == std::string::npos) return masked;
    const size_t from = at + name.size();
    const size_t end = masked.find("\r\n", from);
    masked.replace(from, (end == std::string::npos ? masked.size() : end) - from, "***");
    return masked;
}

} // namespace ornivel
