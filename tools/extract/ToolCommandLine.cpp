#include "ToolCommandLine.h"

#include <vector>

namespace ornivel::extract {

namespace {

bool isBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

bool onlyDotsAndBlanks(const std::wstring& part) {
    return part.find_first_not_of(L". ") == std::wstring::npos;
}

} // namespace

std::wstring::size_type nextWord(const std::wstring& line, std::wstring::size_type from, std::wstring& word) {
    word.clear();
    while (from < line.size() && isBlank(line[from])) ++from;
    if (from >= line.size()) return std::wstring::npos;
    bool quoted = false;
    for (; from < line.size(); ++from) {
        wchar_t c = line[from];
        if (c == L'"') {
            quoted = !quoted;
        } else if (!quoted && isBlank(c)) {
            break;
        } else {
            word += c;
        }
    }
    return from;
}

std::optional<ToolArguments> parseToolCommandLine(const std::wstring& commandLine) {
    std::vector<std::wstring> words;
    std::wstring word;
    for (auto at = nextWord(commandLine, 0, word); at != std::wstring::npos; at = nextWord(commandLine, at, word))
        words.push_back(word);
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

std::optional<std::wstring> safeEntryPath(const std::wstring& entryName) {
    if (entryName.empty() || entryName[0] == L'\\' || entryName[0] == L'/') return std::nullopt;
    if (entryName.find(L':') != std::wstring::npos) return std::nullopt;

    std::wstring result;
    std::wstring::size_type start = 0;
    while (start <= entryName.size()) {
        auto end = entryName.find_first_of(L"\\/", start);
        if (end == std::wstring::npos) end = entryName.size();
        std::wstring part = entryName.substr(start, end - start);
        start = end + 1;
        if (part.empty() || part == L".") continue;
        if (onlyDotsAndBlanks(part)) return std::nullopt;
        if (!result.empty()) result += L'\\';
        result += part;
    }
    if (result.empty()) return std::nullopt;
    return result;
}

} // namespace ornivel::extract
