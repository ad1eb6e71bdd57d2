#include "Terminal.h"

#include <unistd.h>

#include <cstdio>

namespace ornivel::publish {

bool errorIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

void writeError(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

void writeOutput(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

} // namespace ornivel::publish
