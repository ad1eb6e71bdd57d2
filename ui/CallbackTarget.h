#pragma once
// The text form of a link target that runs program code: "callback:" followed by the
// routine's address and its argument in hexadecimal, separated by one blank. Each number has
// as many digits as a pointer has nibbles (8 in the 32-bit program, 16 in the 64-bit one),
// so addresses survive the round trip on both.
#include <cstdint>
#include <string>

namespace ornivel {

extern const wchar_t* const kCallbackPrefix;  // "callback:"

std::wstring formatCallbackTarget(uintptr_t routine, uintptr_t argument);

// True when the target begins with the prefix (and only then is it code to run).
bool isCallbackTarget(const std::wstring& target);

// Reads the two numbers after the prefix. False for a text that is not a callback target,
// or whose numbers are missing, malformed or wider than a pointer; nothing is then called.
bool parseCallbackTarget(const std::wstring& target, uintptr_t& routine, uintptr_t& argument);

} // namespace ornivel
