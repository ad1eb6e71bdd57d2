#include <gtest/gtest.h>

#include <string>

#include "config/PasswordScrambling.h"

namespace ornivel {
namespace {

TEST(PasswordScrambling, RoundTripsEveryLengthAndKeepsOtherBytes) {
    std::string text;
    for (int length = 0; length <= 70; ++length) {
        std::string scrambled = scramblePassword(text);
        EXPECT_EQ(scrambled.size(), text.size());
        EXPECT_EQ(unscramblePassword(scrambled), text) << length;
        text += static_cast<char>("aZ 9.x\xe4Q"[length % 8]);
    }
    EXPECT_EQ(scramblePassword(""), "");
    std::string punctuation = "!?-_.,\xe4\xfc";
    EXPECT_EQ(scramblePassword(punctuation), punctuation);
    // A space is transformed like a letter: key byte '7' has index 59, space 62.
    EXPECT_EQ(scramblePassword(" "), std::string(1, "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 "[(59 + 62) % 63]));
    EXPECT_EQ(scramblePassword("a"), "7");  // index 0 shifted by '7'
    EXPECT_NE(scramblePassword("secret"), "secret");
}

} // namespace
} // namespace ornivel
