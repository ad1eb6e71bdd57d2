#pragma once
// The stored password's scrambling: plain text logic.
#include <string>

namespace ornivel {

// Reversible scrambling of a stored password over the alphabet a-z A-Z 0-9 and space with a
// fixed key; every other byte passes unchanged. Empty in, empty out.
std::string scramblePassword(const std::string& plain);
std::string unscramblePassword(const std::string& scrambled);

} // namespace ornivel
