#include "common/CommandLine.h"

namespace ornivel {

namespace {

bool isBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

} // namespace

std::wstring quoteArgument(const std::wstring& argument) {
    std::wstring quoted = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        // Backslashes stand for themselves unless a quotation mark follows them.
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, L'\\');
    quoted += L'"';
    return quoted;
}

std::vector<std::wstring> splitCommandLine(const std::wstring& commandLine) {
    std::vector<std::wstring> arguments;
    size_t at = 0;
    const size_t end = commandLine.size();

    // The program name: quotation marks group, backslashes are plain characters.
    std::wstring program;
    bool quoted = false;
    for (; at < end; ++at) {
        const wchar_t c = commandLine[at];
        if (c == L'"') {
            quoted = !quoted;
        } else if (!quoted && isBlank(c)) {
            break;
        } else {
            program += c;
        }
    }
    arguments.push_back(program);

    for (;;) {
        while (at < end && isBlank(commandLine[at])) ++at;
        if (at >= end) break;
        std::wstring argument;
        quoted = false;
        while (at < end && (quoted || !isBlank(commandLine[at]))) {
            size_t backslashes = 0;
            while (at < end && commandLine[at] == L'\\') {
                ++backslashes;
                ++at;
            }
            if (at < end && commandLine[at] == L'"') {
                argument.append(backslashes / 2, L'\\');
                if (backslashes % 2 == 1) {
                    argument += L'"';
                } else if (quoted && at + 1 < end && commandLine[at + 1] == L'"') {
                    argument += L'"';  // "" inside a quoted part
                    ++at;
                } else {
                    quoted = !quoted;
                }
                ++at;
            } else {
                argument.append(backslashes, L'\\');
                if (at < end && (quoted || !isBlank(commandLine[at]))) argument += commandLine[at++];
            }
        }
        arguments.push_back(argument);
    }
    return arguments;
}

} // namespace ornivel
