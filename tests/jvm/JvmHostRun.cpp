#include "tests/jvm/JvmHostRun.h"

#include <gtest/gtest.h>

namespace ornivel::test {

std::wstring jvmHostPath() { return windowsPathOf(JVMHOST_UNIX_PATH); }

std::string HostOutput::result(const std::string& method, size_t nth) const {
    for (const auto& line : lines)
        if (line.size() >= 3 && line[0] == "result" && line[1] == method && nth-- == 0) return line[2];
    ADD_FAILURE() << "no result line for " << method;
    return {};
}

long long HostOutput::at(const std::string& kind) const {
    for (const auto& line : lines)
        if (!line.empty() && line[0] == kind) return std::stoll(line.back());
    return -1;
}

bool HostOutput::logHas(const std::string& line) const {
    for (const std::string& logged : splitLines(log))
        if (logged == line) return true;
    return false;
}

HostOutput readHostOutput(const TempFolder& installation) {
    HostOutput output;
    standin::Record out(installation.read(L"jvmhost.out"));
    output.lines = out.lines();
    output.log = installation.read(L"jvmhost.log");
    return output;
}

HostOutput runHost(const TempFolder& installation, const std::string& script, DWORD timeoutMs) {
    installation.write(L"jvmhost.script", script);
    ProcessResult process = runProgram(jvmHostPath(), L"", installation.path(), timeoutMs);
    HostOutput output = readHostOutput(installation);
    output.process = process;
    return output;
}

} // namespace ornivel::test
