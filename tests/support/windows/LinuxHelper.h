#pragma once
// A helper on the Linux side (a Python script in "host" mode) that keeps a service, nginx or
// squid, for a test program under Wine, which can start Linux programs but not wait for them.
// Started with a port file and a run folder of its own, the helper writes "NAME=PORT" lines
// once the service serves, and ends it when the control connection this object holds closes
// (with this object, or with the test program, whichever way that ends).
#include <cstdint>
#include <string>

namespace ornivel::test {

class LinuxHelper {
public:
    // Runs `python3 SCRIPT host --port-file F --run-dir D` and `arguments`, where D is a new
    // folder below `runRoot`, and waits up to `waitMs` for its ports.
    LinuxHelper(const std::string& script, const std::string& runRoot, const std::string& arguments, uint32_t waitMs);
    ~LinuxHelper();
    LinuxHelper(const LinuxHelper&) = delete;
    LinuxHelper& operator=(const LinuxHelper&) = delete;

    bool running() const { return control_ != ~uintptr_t(0); }
    // A port the helper wrote ("http", "open", ...); 0 when it wrote none of that name.
    int port(const std::string& name) const;
    // The run folder (Linux path), also passed in `arguments` as "{run}".
    const std::string& runDir() const { return runDir_; }
    // Sends one line on the control connection and returns the answer line; "ERR ..." when
    // it could not.
    std::string command(const std::string& line);

private:
    uintptr_t control_ = ~uintptr_t(0);
    std::string runDir_;
    std::string ports_;
};

} // namespace ornivel::test
