#pragma once
// nginx on loopback for the end-to-end tests, and the Linux side's programs (the native
// ornivel-publish). Test programs run under Wine, which starts Linux programs but cannot
// wait for them; ornivel_nginx.py (in "host" mode) runs them for the test and keeps nginx,
// whose life ends with this object or with the test program, whichever way it ends.
#include <string>
#include <vector>

#include "tests/support/windows/LinuxHelper.h"

namespace ornivel::test {

class NginxHost {
public:
    NginxHost();
    ~NginxHost();
    NginxHost(const NginxHost&) = delete;
    NginxHost& operator=(const NginxHost&) = delete;

    bool running() const { return helper_.running(); }
    // The ports nginx listens on once it serves: HTTP, and HTTPS with the test CA's
    // certificate for localhost and 127.0.0.1.
    int httpPort() const { return httpPort_; }
    int httpsPort() const { return httpsPort_; }

    struct Result {
        int status = -1;     // -1 when it could not be run
        std::string output;  // standard output and error together
    };
    // Runs a Linux program (its path and arguments, UTF-8) to its end.
    Result run(const std::vector<std::string>& argv);

    // (Re)starts nginx with one server block on both ports that includes the fragment (a
    // Windows path), after the lines `extra` (say, an exact location that slows or fails one
    // file); false with nginx's complaint.
    bool serve(const std::wstring& fragment, std::string& complaint, const std::string& extra = "");
    // nginx's access log (Windows path): "$scheme $status $request_method $request_uri" per line.
    std::wstring accessLog() const;

private:
    LinuxHelper helper_;  // nginx lives as long as its control connection
    int httpPort_ = 0;
    int httpsPort_ = 0;
};

} // namespace ornivel::test
