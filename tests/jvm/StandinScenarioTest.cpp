#include <gtest/gtest.h>

#include "tests/support/standin-jvm/StandinScenario.h"

using namespace ornivel::test::standin;

TEST(StandinScenario, TextAndParseAgree) {
    Scenario s;
    s.createResult = -4;
    s.outcomes = {"IOException", "WrongUserOrPasswordException", "success"};
    s.pendingNull = false;
    s.resetPw = false;
    s.mainMs = 1500;
    s.clientMs = 20;
    s.window = false;
    s.hiddenClasses = {"de/torbenwald/zolp/adm/Adm"};
    Scenario back = Scenario::parse(s.text());
    EXPECT_EQ(back.text(), s.text());
    EXPECT_EQ(back.outcomes.size(), 3u);
    EXPECT_EQ(back.createResult, -4);
}

TEST(StandinScenario, DefaultsForMissingKeysAndComments) {
    Scenario s = Scenario::parse("# only this\r\nreset-pw = false\r\noutcomes=\r\n");
    EXPECT_FALSE(s.resetPw);
    EXPECT_EQ(s.createResult, 0);
    EXPECT_EQ(s.outcomes, std::vector<std::string>{"success"});
}

TEST(StandinScenario, OutcomeTexts) {
    EXPECT_NE(outcomeText("IOException").find("IOException"), std::string::npos);
    EXPECT_NE(outcomeText("WrongUserOrPasswordException").find("WrongUserOrPasswordException"), std::string::npos);
    EXPECT_EQ(outcomeText("text:anything else"), "anything else");
    EXPECT_EQ(outcomeText("success").find("Exception"), std::string::npos);
}
