#include "Terminal.h"

#include <unistd.h>

#include <cerrno>
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

bool readInput(const std::function<void(std::string_view)>& onPiece) {
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (got == 0) return true;
        if (got < 0 && errno != EINTR) return false;
        if (got > 0) onPiece(std::string_view(buffer, static_cast<size_t>(got)));
    }
}

} // namespace ornivel::publish
