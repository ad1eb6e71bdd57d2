// Link targets that run program code: only a text that begins with "callback:" and holds
// exactly two hexadecimal numbers of at most pointer width is read, and what is read is what
// formatCallbackTarget writes for the same two values.
#include <fuzzer/FuzzedDataProvider.h>

#include <string>

#include "FuzzSupport.h"
#include "ui/CallbackTarget.h"

using namespace ornivel;
using namespace ornivel::fuzz;

namespace {

wchar_t lower(wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c + 32) : c; }

// The text with its numbers in lower case and padded to pointer width.
std::wstring normalForm(const std::wstring& text) {
    std::wstring out = kCallbackPrefix;
    const size_t blank = text.find(L' ');
    for (const std::wstring& number : {text.substr(9, blank - 9), text.substr(blank + 1)}) {
        if (out.size() > 9) out += L' ';
        out.append(sizeof(uintptr_t) * 2 - number.size(), L'0');
        for (wchar_t c : number) out += lower(c);
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    const uintptr_t routine = input.ConsumeIntegral<uintptr_t>(), argument = input.ConsumeIntegral<uintptr_t>();
    const std::wstring written = formatCallbackTarget(routine, argument);
    uintptr_t r = 0, a = 0;
    FUZZ_CHECK(isCallbackTarget(written) && parseCallbackTarget(written, r, a) && r == routine && a == argument);

    const std::wstring text = widenBytes(input.ConsumeRemainingBytesAsString());
    if (!parseCallbackTarget(text, r, a)) return 0;
    FUZZ_CHECK(isCallbackTarget(text) && text.compare(0, 9, kCallbackPrefix) == 0);
    FUZZ_CHECK(text.find(L' ') != std::wstring::npos && text.find(L' ') == text.rfind(L' '));
    FUZZ_CHECK(normalForm(text) == formatCallbackTarget(r, a));
    return 0;
}
