#include <gtest/gtest.h>

#include "ui/CallbackTarget.h"

namespace ornivel {
namespace {

TEST(CallbackTarget, RoundTripsPointerSizedValues) {
    const uintptr_t high = ~static_cast<uintptr_t>(0) - 0x1234;
    const std::wstring text = formatCallbackTarget(high, 0x2a);
    uintptr_t routine = 0, argument = 0;
    ASSERT_TRUE(parseCallbackTarget(text, routine, argument));
    EXPECT_EQ(routine, high);
    EXPECT_EQ(argument, 0x2au);
    // One digit per nibble of a pointer, lower case, one blank between the numbers.
    const size_t digits = sizeof(uintptr_t) * 2;
    EXPECT_EQ(text.size(), 9 + digits + 1 + digits);
    EXPECT_EQ(text.substr(text.size() - digits), std::wstring(digits - 2, L'0') + L"2a");
}

TEST(CallbackTarget, OnlyATextThatStartsWithThePrefixIsCode) {
    EXPECT_TRUE(isCallbackTarget(L"callback:1 2"));
    EXPECT_FALSE(isCallbackTarget(L"https://example.org/?callback:1 2"));
    EXPECT_FALSE(isCallbackTarget(L"Callback:1 2"));
    uintptr_t r = 0, a = 0;
    EXPECT_FALSE(parseCallbackTarget(L"see callback:00000001 00000002", r, a));
}

TEST(CallbackTarget, RejectsUnreadableNumbers) {
    uintptr_t r = 0, a = 0;
    EXPECT_FALSE(parseCallbackTarget(L"callback:", r, a));
    EXPECT_FALSE(parseCallbackTarget(L"callback:12", r, a));
    EXPECT_FALSE(parseCallbackTarget(L"callback:12  34", r, a));
    EXPECT_FALSE(parseCallbackTarget(L"callback:xyz 34", r, a));
    EXPECT_FALSE(parseCallbackTarget(L"callback:12 34 trailing", r, a));
    // More digits than a pointer holds would silently lose the high ones.
    EXPECT_FALSE(parseCallbackTarget(L"callback:" + std::wstring(sizeof(uintptr_t) * 2 + 1, L'f') + L" 1", r, a));
    EXPECT_TRUE(parseCallbackTarget(L"callback:AbC 1", r, a));
    EXPECT_EQ(r, 0xabcu);
}

} // namespace
} // namespace ornivel
