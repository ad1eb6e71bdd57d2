#pragma once
// One deployment server from the version-check answer, and the parsing of that answer's
// server list.
#include <string>
#include <vector>

namespace ornivel {

class DeploymentServerInfo {
public:
    DeploymentServerInfo(const std::wstring& host, const std::wstring& path, const std::wstring& type, int port,
                         const std::wstring& userName, const std::wstring& password)
        : host(host), path(path), type(type), password(password), userName(userName), port(port) {}
    virtual ~DeploymentServerInfo() = default;
    DeploymentServerInfo(const DeploymentServerInfo&) = default;
    DeploymentServerInfo& operator=(const DeploymentServerInfo&) = default;

    // What the progress display names this server by: the label, else the host of a web
    // server or the share path of a network share; empty for an unknown type.
    std::wstring displayName() const;
    // Whether host or path holds a control character (a line break would split a request).
    bool hasControlCharacter() const;

    std::wstring host;
    std::wstring path;      // server path, or the UNC path of a share ("net")
    std::wstring type;      // "http", "https", "inet" or "net", as given
    std::wstring password;  // for a share
    std::wstring userName;  // for a share
    std::wstring label;
    int port = 0;
};

// The server list of a version-check answer: fields each ended by "|", six to a server
// (type, host, path, port, user name, password); a last group of fewer than six fields
// carries the labels, "~"-separated, in server order.
std::vector<DeploymentServerInfo> parseServerList(const std::wstring& answer);

// The answer as it may be shown in the log: the user name and password of every server
// record that parseServerList reads replaced by "***" (when not empty); everything else
// unchanged. The masking works on the same records as the parsing, so no part of a password
// is ever shown as another field.
std::wstring maskedServerList(const std::wstring& answer);
// The same for an answer as received (text in the ANSI code page), read as parseServerList
// reads it after fromAnsi.
std::string maskedServerList(const std::string& answer);

// A port field: leading white space and a sign allowed, reading stops at the first other
// character, no digit gives 0; values beyond the 32-bit range are clamped.
int parsePortField(const std::wstring& field);

} // namespace ornivel
