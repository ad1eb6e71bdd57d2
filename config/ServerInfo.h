#pragma once
// One login server of "system/config/server.ini": host|port|caption[|extra].
#include <string>

namespace ornivel {

class ServerInfo {
public:
    ServerInfo() = default;
    ServerInfo(std::wstring host, int port, std::wstring caption, int extra)
        : host_(std::move(host)), caption_(std::move(caption)), port_(port), extra_(extra) {}
    virtual ~ServerInfo() = default;
    ServerInfo(const ServerInfo&) = default;
    ServerInfo& operator=(const ServerInfo&) = default;

    // Parses one line; every shape gives a value (see the field rules in the .cpp).
    static ServerInfo fromLine(const std::wstring& line);

    const std::wstring& host() const { return host_; }
    const std::wstring& caption() const { return caption_; }
    int port() const { return port_; }
    int extra() const { return extra_; }

private:
    std::wstring host_;
    std::wstring caption_;
    int port_ = 0;
    int extra_ = -1;
};

} // namespace ornivel
