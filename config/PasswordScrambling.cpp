#include "config/PasswordScrambling.h"

#include <cstring>

namespace ornivel {

namespace {

constexpr char kAlphabet[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 ";
constexpr int kAlphabetSize = sizeof(kAlphabet) - 1;  // 63
constexpr char kKey[] = "7c04e2a9d1b35f86c0e94a27b8d16f53";
constexpr size_t kKeySize = sizeof(kKey) - 1;  // 32

int alphabetIndex(char c) {
    const char* found = static_cast<const char*>(std::memchr(kAlphabet, c, kAlphabetSize));
    return found ? static_cast<int>(found - kAlphabet) : -1;
}

// Shifts every alphabet byte by the index of the key byte at its position (forward or back).
std::string shiftByKey(const std::string& input, bool forward) {
    std::string output(input);
    for (size_t i = 0; i < output.size(); ++i) {
        int c = alphabetIndex(output[i]);
        if (c < 0) continue;
        int k = alphabetIndex(kKey[i % kKeySize]);
        int p = forward ? (k + c) % kAlphabetSize : (kAlphabetSize + c - k) % kAlphabetSize;
        output[i] = kAlphabet[p];
    }
    return output;
}

} // namespace

std::string scramblePassword(const std::string& plain) { return plain.empty() ? plain : shiftByKey(plain, true); }

std::string unscramblePassword(const std::string& scrambled) {
    return scrambled.empty() ? scrambled : shiftByKey(scrambled, false);
}

} // namespace ornivel
