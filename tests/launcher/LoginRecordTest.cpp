#include <gtest/gtest.h>

#include "common/TextScan.h"
#include "launcher/LoginRecord.h"

namespace ornivel {
namespace {

TEST(LoginRecord, HexUtf16WritesFourDigitsPerUnit) {
    EXPECT_EQ(hexUtf16(L"Anna"), L"0041006e006e0061");
    EXPECT_EQ(hexUtf16(L""), L"");
    EXPECT_EQ(hexUtf16(L"\u00e4\u20ac"), L"00e420ac");
    EXPECT_EQ(hexUtf16(L"\U0001F600"), L"d83dde00");  // both surrogate units
}

TEST(LoginRecord, TrimRemovesWideWhiteSpaceOnly) {
    EXPECT_EQ(trimWhitespace(L" anna "), L"anna");
    EXPECT_EQ(trimWhitespace(L"\t\r\n a b \n"), L"a b");
    EXPECT_EQ(trimWhitespace(L"   "), L"");
}

TEST(LoginRecord, PasswordDigestIsTheMd5OfTheUtf8Bytes) {
    EXPECT_EQ(passwordDigest(L""), L"d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(passwordDigest(L"abc"), L"900150983cd24fb0d6963f7d28e17f72");
    // "\u00e4" is the two UTF-8 bytes c3 a4: md5 -> 8419b71c87a225a2c70b50486fbee545.
    EXPECT_EQ(passwordDigest(L"\u00e4"), L"8419b71c87a225a2c70b50486fbee545");
}

TEST(LoginRecord, LongPasswordsAreDigestedWhole) {
    std::wstring longA(2000, L'a'), longB = std::wstring(1999, L'a') + L'b';
    EXPECT_NE(passwordDigest(longA), passwordDigest(longB));
}

TEST(LoginRecord, TheRecordForTheDocumentedExample) {
    LoginInput in{L" anna ", L"secret", L"srv01", 8080, L"Production", -1};
    // md5("secret") = 5ebe2294ecd0e0f08eab7690d2a6ee69
    EXPECT_EQ(buildLoginRequest(in),
              L"OGM -1 0061006e006e0061 5ebe2294ecd0e0f08eab7690d2a6ee69 srv01 8080 "
              L"00500072006f00640075006300740069006f006e -1\r\n<end>\r\n");
}

TEST(LoginRecord, EmptyUserIdLeavesTwoBlanksInARow) {
    LoginInput in{L"", L"", L"h", 1, L"c", 7};
    std::wstring record = buildLoginRequest(in);
    EXPECT_EQ(record.rfind(L"OGM -1  ", 0), 0u);
    EXPECT_EQ(record, L"OGM -1  d41d8cd98f00b204e9800998ecf8427e h 1 0063 7\r\n<end>\r\n");
}

TEST(LoginRecord, LongUserIdsAreNeverCut) {
    LoginInput in{std::wstring(1023, L'u'), L"p", L"h", 1, L"c", -1};
    std::wstring record = buildLoginRequest(in);
    EXPECT_NE(record.find(hexUtf16(std::wstring(1023, L'u')) + L" "), std::wstring::npos);
    EXPECT_EQ(record.substr(record.size() - 9), L"\r\n<end>\r\n");
}

TEST(LoginRecord, OutcomesThatBringTheFormBack) {
    EXPECT_TRUE(outcomeAsksForAnotherLogin(L"java.io.IOException: connection refused"));
    EXPECT_TRUE(outcomeAsksForAnotherLogin(L"de.x.WrongUserOrPasswordException"));
    EXPECT_FALSE(outcomeAsksForAnotherLogin(L"OK"));
    EXPECT_FALSE(outcomeAsksForAnotherLogin(L"ioexception"));
}

TEST(LoginRecord, LoginTimeInWholeMilliseconds) {
    EXPECT_EQ(elapsedMillisecondsText(0, 10000), L"1");
    EXPECT_EQ(elapsedMillisecondsText(5, 10004), L"0");
    EXPECT_EQ(elapsedMillisecondsText(1000000000ull, 1000000000ull + 123456789ull * 10000ull), L"123456789");
}

} // namespace
} // namespace ornivel
