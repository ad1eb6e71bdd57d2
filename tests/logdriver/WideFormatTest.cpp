// The Microsoft printf conventions the log formats are written in. Windows formats them with
// msvcrt, the native build with its own formatter: the same expectations hold for both.
#include <gtest/gtest.h>

#include <cstddef>

#include "common/Text.h"

namespace ornivel {
namespace {

TEST(WideFormat, StringsFollowMicrosoftConventions) {
    EXPECT_EQ(formatWide(L"%s|%S|%hs|%ls|%ws", L"wide", "narrow", "h", L"l", L"w"), L"wide|narrow|h|l|w");
    // Non-ASCII text: wide arguments as they are, narrow ones in the system's narrow encoding.
    EXPECT_EQ(formatWide(L"%s|%S", L"Gr\x00FC\x00DF" L"e \U0001F600", toAnsi(L"K\x00F6ln").c_str()),
              L"Gr\x00FC\x00DF" L"e \U0001F600|K\x00F6ln");
    EXPECT_EQ(formatWide(L"[%5s|%-4s|%.2s|%*s]", L"ab", L"c", L"xyz", 3, L"d"), L"[   ab|c   |xy|  d]");
    EXPECT_EQ(formatWide(L"%c%C%hc", L'w', 'n', 'h'), L"wnh");
    EXPECT_EQ(formatNarrow("%s|%S|%hs", "narrow", L"wide", "h"), "narrow|wide|h");
}

TEST(WideFormat, NumbersAndSizes) {
    EXPECT_EQ(formatWide(L"%d|%08x|%X|%u|%ld|%lu", -5, 255u, 0xABCu, 7u, -8L, 9UL), L"-5|000000ff|ABC|7|-8|9");
    EXPECT_EQ(formatWide(L"%I64d|%I64u|%lld|%I64x", -1234567890123LL, 18446744073709551615ULL, 42LL, 0x1FFFFFFFFULL),
              L"-1234567890123|18446744073709551615|42|1ffffffff");
    EXPECT_EQ(formatWide(L"%Iu|%Id", static_cast<size_t>(3000000000u), static_cast<ptrdiff_t>(-5)), L"3000000000|-5");
    EXPECT_EQ(formatWide(L"%+d|%5d|%-5d|%05d|%.3f|100%%", 3, 42, 42, 42, 2.5), L"+3|   42|42   |00042|2.500|100%");
    EXPECT_EQ(formatNarrow("%I64d|%d", 12345678901LL, -1), "12345678901|-1");
}

} // namespace
} // namespace ornivel
