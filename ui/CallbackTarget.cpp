#include "ui/CallbackTarget.h"

namespace ornivel {

const wchar_t* const kCallbackPrefix = L"callback:";

namespace {

constexpr size_t kDigits = sizeof(uintptr_t) * 2;
constexpr size_t kPrefixLength = 9;

void appendHex(std::wstring& out, uintptr_t value) {
    static const wchar_t digits[] = L"0123456789abcdef";
    for (size_t i = kDigits; i-- > 0;) out += digits[(value >> (i * 4)) & 0xF];
}

int hexValue(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

// Reads 1 to kDigits hexadecimal digits at `pos`; advances `pos` past them.
bool readHex(const std::wstring& text, size_t& pos, uintptr_t& value) {
    value = 0;
    size_t count = 0;
    while (pos < text.size() && hexValue(text[pos]) >= 0) {
        if (++count > kDigits) return false;
        value = (value << 4) | static_cast<uintptr_t>(hexValue(text[pos]));
        ++pos;
    }
    return count > 0;
}

} // namespace

std::wstring formatCallbackTarget(uintptr_t routine, uintptr_t argument) {
    std::wstring text = kCallbackPrefix;
    appendHex(text, routine);
    text += L' ';
    appendHex(text, argument);
    return text;
}

bool isCallbackTarget(const std::wstring& target) { return target.compare(0, kPrefixLength, kCallbackPrefix) == 0; }

bool parseCallbackTarget(const std::wstring& target, uintptr_t& routine, uintptr_t& argument) {
    if (!isCallbackTarget(target)) return false;
    size_t pos = kPrefixLength;
    if (!readHex(target, pos, routine)) return false;
    if (pos >= target.size() || target[pos] != L' ') return false;
    ++pos;
    if (!readHex(target, pos, argument)) return false;
    return pos == target.size();
}

} // namespace ornivel
