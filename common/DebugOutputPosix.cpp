#include "common/DebugOutput.h"

#include <unistd.h>

#include "common/Text.h"

namespace ornivel {

void debugOutput(const wchar_t* text) {
    std::string line = toUtf8(text);
    // Texts written without a line end of their own stay readable on a terminal.
    if (line.empty() || line.back() != '\n') line += '\n';
    // One write, so that lines of different threads do not mix.
    ssize_t written = write(STDERR_FILENO, line.data(), line.size());
    (void)written;
}

} // namespace ornivel
