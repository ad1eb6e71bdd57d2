#include <gtest/gtest.h>

#include "config/StartOptions.h"

namespace ornivel {
namespace {

TEST(StartOptions, FlagsAreCaseSensitiveSubstringsAnywhere) {
    StartOptions o = parseStartOptions(L"-debugger x-noupdatey");
    EXPECT_TRUE(o.debug);
    EXPECT_TRUE(o.noUpdate);
    EXPECT_FALSE(o.fieldService);
    EXPECT_FALSE(o.singus);

    EXPECT_FALSE(parseStartOptions(L"Aussendienst").fieldService);
    EXPECT_TRUE(parseStartOptions(L"AUSSENDIENST").fieldService);
    EXPECT_TRUE(parseStartOptions(L"-aussendienst").fieldService);
    EXPECT_TRUE(parseStartOptions(L"\"C:\\-singus\\x\"").singus);
    EXPECT_FALSE(parseStartOptions(L"-NOUPDATE -Singus").noUpdate);
}

TEST(StartOptions, KeepsTheCommandLine) {
    EXPECT_EQ(parseStartOptions(L"a -lib=\"x\"").commandLine, L"a -lib=\"x\"");
}

TEST(OptionValue, QuotedValueIsTakenUpToTheClosingQuote) {
    OptionValue v = findOptionValue(L"-noupdate -lib=\"C:\\my libs\" -path=\"D:\\x\"", L"-lib=");
    ASSERT_EQ(v.status, OptionValue::Found);
    EXPECT_EQ(v.value, L"C:\\my libs");
    v = findOptionValue(L"-noupdate -lib=\"C:\\my libs\" -path=\"D:\\x\"", L"-path=");
    ASSERT_EQ(v.status, OptionValue::Found);
    EXPECT_EQ(v.value, L"D:\\x");
}

TEST(OptionValue, AbsentOptionIsAbsent) { EXPECT_EQ(findOptionValue(L"-noupdate", L"-lib=").status, OptionValue::Absent); }

TEST(OptionValue, EmptyQuotedValueIsFound) {
    OptionValue v = findOptionValue(L"-lib=\"\"", L"-lib=");
    EXPECT_EQ(v.status, OptionValue::Found);
    EXPECT_EQ(v.value, L"");
}

TEST(OptionValue, UnsafeValuesAreRejected) {
    EXPECT_EQ(findOptionValue(L"-lib=\"C:\\x", L"-lib=").status, OptionValue::Rejected);
    EXPECT_EQ(findOptionValue(L"-lib=C:\\x", L"-lib=").status, OptionValue::Rejected);
    EXPECT_EQ(findOptionValue(L"-lib=", L"-lib=").status, OptionValue::Rejected);

    std::wstring longest(259, L'a'), tooLong(260, L'a');
    EXPECT_EQ(findOptionValue(L"-path=\"" + longest + L"\"", L"-path=").status, OptionValue::Found);
    OptionValue v = findOptionValue(L"-path=\"" + tooLong + L"\"", L"-path=");
    EXPECT_EQ(v.status, OptionValue::Rejected);
    EXPECT_FALSE(v.reason.empty());
}

} // namespace
} // namespace ornivel
