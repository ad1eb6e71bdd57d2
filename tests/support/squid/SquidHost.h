#pragma once
// squid on loopback for the proxy tests (ornivel_squid.py): one port that forwards every
// request, one that asks for Basic credentials. Host names resolve through the proxy's own
// hosts file only. squid ends with this object or with the test program, whichever way it
// ends.
#include <string>
#include <vector>

#include "tests/support/windows/LinuxHelper.h"

namespace ornivel::test {

class SquidHost {
public:
    // `hosts`: names the proxy resolves to 127.0.0.1; `users`: "NAME:SECRET" accepted on the
    // authenticating port.
    SquidHost(const std::vector<std::string>& hosts, const std::vector<std::string>& users);

    bool running() const { return helper_.running(); }
    int openPort() const { return openPort_; }
    int authPort() const { return authPort_; }
    // squid's access log (Windows path).
    std::wstring accessLog() const;

private:
    LinuxHelper helper_;  // squid lives as long as its control connection
    int openPort_ = 0;
    int authPort_ = 0;
};

} // namespace ornivel::test
