#include "ToolCommandLine.h"

#include <vector>

#include "common/CommandLine.h"

namespace ornivel::extract {

std::optional<ToolArguments> parseToolCommandLine(const std::wstring& commandLine) {
    const std::vector<std::wstring> words = splitCommandLine(commandLine);
    if (words.size() < 2 || words[1] != L"x") return std::nullopt;

    ToolArguments arguments;
    std::vector<std::wstring> names;
    for (size_t i = 2; i < words.size(); ++i) {
        if (names.empty() && !words[i].empty() && words[i][0] == L'-') {
            if (words[i] == L"-inul") arguments.quiet = true;
            continue;
        }
        names.push_back(words[i]);
    }
    if (names.size() != 2 || names[0].empty() || names[1].empty()) return std::nullopt;
    arguments.archive = names[0];
    arguments.target = names[1];
    if (arguments.target.back() != L'\\' && arguments.target.back() != L'/') arguments.target += L'\\';
    return arguments;
}

} // namespace ornivel::extract
