#include "tests/support/squid/SquidHost.h"

#include "tests/support/TestSupport.h"

namespace ornivel::test {

namespace {

std::string squidArguments(const std::vector<std::string>& hosts, const std::vector<std::string>& users) {
    std::string arguments;
    for (const std::string& host : hosts) arguments += " --host " + host;
    for (const std::string& user : users) arguments += " --user " + user;
    return arguments;
}

} // namespace

SquidHost::SquidHost(const std::vector<std::string>& hosts, const std::vector<std::string>& users)
    : helper_(ORNIVEL_SQUID_SCRIPT, ORNIVEL_SQUID_RUN_DIR, squidArguments(hosts, users), 30000),
      openPort_(helper_.port("open")), authPort_(helper_.port("auth")) {}

std::wstring SquidHost::accessLog() const { return windowsPathOf(helper_.runDir() + "/access.log"); }

} // namespace ornivel::test
