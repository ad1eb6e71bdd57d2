#pragma once
// Runs the jvmhost program with a script in a temporary installation and reads what it
// wrote ("jvmhost.out", "jvmhost.log") and what the stand-in recorded.
#include <string>
#include <vector>

#include "tests/support/TestSupport.h"
#include "tests/support/standin-jvm/StandinJvm.h"

namespace ornivel::test {

std::wstring jvmHostPath();

struct HostOutput {
    ProcessResult process;
    std::vector<std::vector<std::string>> lines;  // tab-separated fields of jvmhost.out
    std::string log;                              // jvmhost.log ("LEVEL|message" lines)

    // The text of the n-th "result" line for that method (empty and a failure when missing).
    std::string result(const std::string& method, size_t nth = 0) const;
    // The elapsed milliseconds of the first line of that kind, -1 when missing.
    long long at(const std::string& kind) const;
    bool logHas(const std::string& line) const;
};

// Writes the script and runs the host in the installation (its working folder).
HostOutput runHost(const TempFolder& installation, const std::string& script, DWORD timeoutMs = 30000);
HostOutput readHostOutput(const TempFolder& installation);

} // namespace ornivel::test
