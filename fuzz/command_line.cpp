// Command lines: an argument quoted by quoteArgument reaches the program unchanged through
// the C runtime's splitting; the extraction tool reads back the archive and target folder
// the launcher gives it; the launcher's own value options never run past their quotes.
#include <fuzzer/FuzzedDataProvider.h>

#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "common/CommandLine.h"
#include "config/StartOptions.h"
#include "tools/extract/ToolCommandLine.h"

using namespace ornivel;
using namespace ornivel::fuzz;

namespace {

// An argument as a Windows program can be given it: any text without a zero character.
std::wstring argumentText(FuzzedDataProvider& input) {
    std::wstring text = unitsOfBytes(input.ConsumeRandomLengthString(64));
    for (wchar_t& c : text)
        if (c == 0) c = L' ';
    return text;
}

void checkRoundTrip(FuzzedDataProvider& input) {
    std::wstring program = argumentText(input);
    for (wchar_t& c : program)
        if (c == L'"') c = L'_';  // a program path holds no quotation mark
    std::vector<std::wstring> arguments;
    const size_t count = input.ConsumeIntegralInRange<size_t>(0, 4);
    std::wstring commandLine = L"\"" + program + L"\"";
    for (size_t i = 0; i < count; ++i) {
        arguments.push_back(argumentText(input));
        commandLine += input.ConsumeBool() ? L"\t" : L" ";
        commandLine += quoteArgument(arguments.back());
    }
    const std::vector<std::wstring> split = splitCommandLine(commandLine);
    FUZZ_CHECK(split.size() == count + 1);
    FUZZ_CHECK(split[0] == program);
    for (size_t i = 0; i < count; ++i) FUZZ_CHECK(split[i + 1] == arguments[i]);
}

void checkToolArguments(FuzzedDataProvider& input) {
    const std::wstring archive = argumentText(input), target = argumentText(input);
    const std::wstring commandLine = L"unrar.exe x -inul " + quoteArgument(archive) + L" " + quoteArgument(target);
    const auto parsed = extract::parseToolCommandLine(commandLine);
    if (archive.empty() || target.empty() || archive[0] == L'-') {
        FUZZ_CHECK(!parsed);  // a name starting with "-" reads as a switch, and one is then missing
        return;
    }
    FUZZ_CHECK(parsed && parsed->quiet);
    FUZZ_CHECK(parsed->archive == archive);
    const bool separated = target.back() == L'\\' || target.back() == L'/';
    FUZZ_CHECK(parsed->target == (separated ? target : target + L'\\'));
}

void checkAnyText(const std::wstring& text) {
    const std::vector<std::wstring> split = splitCommandLine(text);
    FUZZ_CHECK(!split.empty());
    if (const auto tool = extract::parseToolCommandLine(text)) {
        FUZZ_CHECK(!tool->archive.empty() && !tool->target.empty());
        FUZZ_CHECK(tool->target.back() == L'\\' || tool->target.back() == L'/');
    }
    const StartOptions options = parseStartOptions(text);
    FUZZ_CHECK(options.commandLine == text);
    for (const wchar_t* option : {L"-lib=", L"-path="}) {
        const OptionValue value = findOptionValue(text, option);
        if (value.status != OptionValue::Found) continue;
        FUZZ_CHECK(value.value.size() <= kMaxOptionValueLength);
        FUZZ_CHECK(value.value.find(L'"') == std::wstring::npos);
        FUZZ_CHECK(text.find(std::wstring(option) + L"\"" + value.value + L"\"") != std::wstring::npos);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    checkAnyText(unitsOfBytes(bytesOf(data, size)));
    checkAnyText(widenBytes(bytesOf(data, size)));
    FuzzedDataProvider input(data, size);
    checkRoundTrip(input);
    checkToolArguments(input);
    return 0;
}
