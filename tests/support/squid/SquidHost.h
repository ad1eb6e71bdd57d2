#pragma once
// squid on loopback for the proxy tests (ornivel_squid.py): one port that forwards every
// request, one that asks for Basic credentials. Host names resolve through the proxy's own
// hosts file only. squid ends with this object or with the test program, whichever way it
// ends.
#include <cstdint>
#include <string>
#include <vector>

namespace ornivel::test {

class SquidHost {
public:
    // `hosts`: names the proxy resolves to 127.0.0.1; `users`: "NAME:SECRET" accepted on the
    // authenticating port.
    SquidHost(const std::vector<std::string>& hosts, const std::vector<std::string>& users);
    ~SquidHost();
    SquidHost(const SquidHost&) = delete;
    SquidHost& operator=(const SquidHost&) = delete;

    bool running() const { return control_ != ~uintptr_t(0); }
    int openPort() const { return openPort_; }
    int authPort() const { return authPort_; }
    // squid's access log (Windows path).
    std::wstring accessLog() const;

private:
    uintptr_t control_ = ~uintptr_t(0);
    int openPort_ = 0;
    int authPort_ = 0;
    std::string runDir_;
};

} // namespace ornivel::test
