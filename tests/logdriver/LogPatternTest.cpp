#include <gtest/gtest.h>

#include "logdriver/LogLevel.h"
#include "logdriver/LogPattern.h"

namespace ornivel {
namespace {

LogLineFields fields(const std::wstring& source, const std::wstring& message, int level = LOG_INFO) {
    return {logDateText(8, 12, 2026), logTimeText(6, 2, 0), levelWord(level), source, message};
}

TEST(LogPattern, StandardPatternGivesTheDocumentedLine) {
    EXPECT_EQ(expandLogPattern(L"%d %t | %s | %e | %m", fields(L"ornivel", L"Synchronizing local folder D:\\Client")),
              L"08.12.2026 06:02:00 | ornivel | info    | Synchronizing local folder D:\\Client");
}

TEST(LogPattern, LevelWordsAreSevenCharacters) {
    EXPECT_STREQ(levelWord(LOG_DEBUG), L"debug  ");
    EXPECT_STREQ(levelWord(LOG_INFO), L"info   ");
    EXPECT_STREQ(levelWord(LOG_WARNING), L"warning");
    EXPECT_STREQ(levelWord(LOG_ERROR), L"error  ");
    EXPECT_STREQ(levelWord(LOG_FATAL), L"fatal  ");
    EXPECT_STREQ(levelWord(250), L"unknown");
    EXPECT_STREQ(levelWord(0), L"unknown");
}

TEST(LogPattern, OnlyTheFirstOccurrenceOfEachPlaceholderIsReplaced) {
    EXPECT_EQ(expandLogPattern(L"%m and %m", fields(L"src", L"hello")), L"hello and %m");
    EXPECT_EQ(expandLogPattern(L"%d %d", fields(L"src", L"x")), L"08.12.2026 %d");
}

TEST(LogPattern, MessagePlaceholdersInsideTheMessageStayAsTheyAre) {
    EXPECT_EQ(expandLogPattern(L"%s: %m", fields(L"src", L"value %d of %s")), L"src: value %d of %s");
}

TEST(LogPattern, SourceNameHoldingTheMessagePlaceholderTakesTheMessage) {
    // The source is inserted before the message search, so its "%m" is found first.
    EXPECT_EQ(expandLogPattern(L"[%s] %m", fields(L"a%mb", L"MSG")), L"[aMSGb] %m");
}

TEST(LogPattern, AbsentPlaceholdersAreSkipped) {
    EXPECT_EQ(expandLogPattern(L"%m", fields(L"src", L"only")), L"only");
    EXPECT_EQ(expandLogPattern(L"plain", fields(L"src", L"x")), L"plain");
}

TEST(LogPattern, DateAndTimeArePadded) {
    EXPECT_EQ(logDateText(1, 2, 2024), L"01.02.2024");
    EXPECT_EQ(logTimeText(0, 5, 9), L"00:05:09");
}

} // namespace
} // namespace ornivel
