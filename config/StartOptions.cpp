#include "config/StartOptions.h"

namespace ornivel {

namespace {
bool contains(const std::wstring& text, const wchar_t* word) { return text.find(word) != std::wstring::npos; }
} // namespace

StartOptions parseStartOptions(const std::wstring& commandLine) {
    StartOptions options;
    options.commandLine = commandLine;
    options.fieldService = contains(commandLine, L"aussendienst") || contains(commandLine, L"AUSSENDIENST");
    options.noUpdate = contains(commandLine, L"-noupdate");
    options.singus = contains(commandLine, L"-singus");
    options.debug = contains(commandLine, L"-debug");
    options.updateOnly = contains(commandLine, L"-updateonly");
    return options;
}

OptionValue findOptionValue(const std::wstring& commandLine, const std::wstring& option) {
    OptionValue result;
    size_t at = commandLine.find(option);
    if (at == std::wstring::npos) return result;
    result.status = OptionValue::Rejected;
    size_t quote = at + option.size();
    if (quote >= commandLine.size() || commandLine[quote] != L'"') {
        result.reason = L"the value is not written in double quotes";
        return result;
    }
    size_t close = commandLine.find(L'"', quote + 1);
    if (close == std::wstring::npos) {
        result.reason = L"the value has no closing double quote";
        return result;
    }
    if (close - quote - 1 > kMaxOptionValueLength) {
        result.reason = L"the value has 260 characters or more";
        return result;
    }
    result.status = OptionValue::Found;
    result.value = commandLine.substr(quote + 1, close - quote - 1);
    return result;
}

} // namespace ornivel
