// Command lines as Windows programs split them, and arguments quoted to survive that.
#include <gtest/gtest.h>

#include "common/CommandLine.h"

namespace ornivel {
namespace {

using Words = std::vector<std::wstring>;

TEST(CommandLine, SplitsByTheRulesOfTheCRuntime) {
    EXPECT_EQ(splitCommandLine(L"C:\\a\\tool.exe x -inul"), (Words{L"C:\\a\\tool.exe", L"x", L"-inul"}));
    // The program name keeps its backslashes and may be quoted.
    EXPECT_EQ(splitCommandLine(L"\"C:\\my dir\\\"tool.exe  a"), (Words{L"C:\\my dir\\tool.exe", L"a"}));
    EXPECT_EQ(splitCommandLine(L"p \"a b\"c d\\e"), (Words{L"p", L"a bc", L"d\\e"}));
    // Backslashes count only before a quotation mark.
    EXPECT_EQ(splitCommandLine(L"p \"C:\\x\\\\\" a\\\\b"), (Words{L"p", L"C:\\x\\", L"a\\\\b"}));
    EXPECT_EQ(splitCommandLine(L"p a\\\\\\\"b c"), (Words{L"p", L"a\\\"b", L"c"}));
    EXPECT_EQ(splitCommandLine(L"p \"\" \"a\"\"b\""), (Words{L"p", L"", L"a\"b"}));
    EXPECT_EQ(splitCommandLine(L"p"), (Words{L"p"}));
    EXPECT_EQ(splitCommandLine(L""), (Words{L""}));
}

TEST(CommandLine, QuotedArgumentsArriveUnchanged) {
    const Words arguments = {L"C:\\Users\\J\u00fcrgen\\Firma & Co (Test) 100% !x\\system\\",
                             L"", L"plain", L"a \"quoted\" word", L"ends\\", L"\\\\server\\share\\", L"x\\\"y", L"tab\tin"};
    std::wstring line = L"tool.exe";
    for (const std::wstring& argument : arguments) line += L" " + quoteArgument(argument);
    Words expected = {L"tool.exe"};
    expected.insert(expected.end(), arguments.begin(), arguments.end());
    EXPECT_EQ(splitCommandLine(line), expected);
    EXPECT_EQ(quoteArgument(L"C:\\inst\\system\\"), L"\"C:\\inst\\system\\\\\"");
}

} // namespace
} // namespace ornivel
