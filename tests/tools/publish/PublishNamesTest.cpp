// Which client names the publisher takes, and the module scan it plays for the client
// checksum (checked against the launcher's own scan under Wine by the end-to-end test).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ModuleScan.h"
#include "NameRules.h"
#include "Upcase.h"
#include "common/Utf16.h"

namespace ornivel::publish {
namespace {

class PublishNames : public ::testing::Test {
protected:
    void SetUp() override {
        std::string problem;
        ASSERT_TRUE(prepareUpcase(problem)) << problem;
    }

    static ScannedName file(const std::vector<std::wstring>& parts, uint64_t size = 1) { return {parts, size}; }
};

TEST_F(PublishNames, TakesUnicodeNamesAndRefusesWhatWindowsCannotHold) {
    std::vector<std::wstring> parts;
    std::string reason;
    ASSERT_TRUE(readPublishedName("Gr\xc3\xbc\xc3\x9f" "e & Co/\xf0\x9d\x92\x9c.txt", parts, reason)) << reason;
    EXPECT_EQ(parts, (std::vector<std::wstring>{L"Gr\u00fc\u00dfe & Co", fromUtf16(u"\U0001D49C.txt")}));

    const std::pair<const char*, const char*> refused[] = {
        {"module/CON.txt", "names a device"},
        {"module/a.jar.", "ends in a dot or a blank"},
        {"what?.txt", "Windows does not allow"},
        {"a:b", "drive or a stream"},
        {"back\\slash.txt", "folder separator"},
        {"latin1-\xe4.txt", "not valid UTF-8"},
        {"overlong-\xc0\xae.txt", "not valid UTF-8"},
    };
    for (const auto& [path, why] : refused) {
        reason.clear();
        EXPECT_FALSE(readPublishedName(path, parts, reason)) << path;
        EXPECT_NE(reason.find(why), std::string::npos) << path << ": " << reason;
    }
}

TEST_F(PublishNames, FindsNamesThatDifferOnlyInCaseAsWindowsComparesThem) {
    const std::vector<std::string> paths = {"Module/a.jar", "module/b.jar", "x/\xc3\x84.txt", "x/\xc3\xa4.txt",
                                            "y/\xc4\xb1", "y/i", "z/\xc3\x9f", "z/SS"};
    std::vector<std::vector<std::wstring>> parts;
    for (const std::string& path : paths) {
        std::string reason;
        parts.emplace_back();
        ASSERT_TRUE(readPublishedName(path, parts.back(), reason)) << path;
    }
    const std::vector<std::string> problems = caseCollisions(paths, parts);
    ASSERT_EQ(problems.size(), 2u);  // dotless i and sharp s have no upper case of their own on NTFS
    EXPECT_NE(problems[0].find("\"Module\" and \"module\""), std::string::npos) << problems[0];
    EXPECT_NE(problems[1].find("\"x/\xc3\x84.txt\" and \"x/\xc3\xa4.txt\""), std::string::npos) << problems[1];
}

TEST_F(PublishNames, ScansModulesInTheLaunchersOrder) {
    const std::vector<ScannedName> files = {
        file({L"module", L"b.jar"}, (1ULL << 32) + 5), file({L"module", L"B.jar"}), file({L"module", L"x.JAR"}),
        file({L"module", L"c.jbn"}), file({L"module", L"readme.txt"}), file({L"module", L"b-ext", L"1.txt"}),
        file({L"module", L"A-ext", L"deep", L"2.txt"}), file({L"module", L"_tools", L"3.txt"}),
        file({L"module", L"\u00e4pfel", L"4.txt"}), file({L"module", L"Zeta", L"5.txt"}),
        file({L"module", L".hidden", L"6.txt"}), file({L"Module", L"b-ext", L"7.txt"}),
        file({L"System", L"Jar", L"module-print.jar"}, 7), file({L"system", L"other.jar"}), file({L"lib", L"z.jar"})};
    using Entries = std::vector<std::pair<std::wstring, int>>;
    EXPECT_EQ(moduleScanEntries(files),
              (Entries{{L"module/B.jar", 1}, {L"module/b.jar", 5}, {L"module/x.JAR", 1}, {L"module/c.jbn", 1},
                       {L"module/A-ext", 0}, {L"module/b-ext", 0}, {L"module/Zeta", 0}, {L"module/_tools", 0},
                       {L"module/\u00e4pfel", 0}, {L"system/jar/module-print.jar", 7}}));
    // Without modules the checksum digests the prefix alone (MD5 of "Quorn58", by md5sum).
    EXPECT_EQ(predictedClientChecksum({file({L"lib", L"z.jar"})}), L"51159b76c1f755765bd214eba541c540");
}

TEST_F(PublishNames, KnowsNamesAPatternTakesOnlyThroughTheirShortName) {
    EXPECT_TRUE(matchesOnlyByShortName(L"core.jarold"));
    EXPECT_TRUE(matchesOnlyByShortName(L"x.JBN2"));
    EXPECT_FALSE(matchesOnlyByShortName(L"core.jar"));
    EXPECT_FALSE(matchesOnlyByShortName(L"core.jar.bak"));
    EXPECT_FALSE(matchesOnlyByShortName(L"notes.ja"));
    EXPECT_TRUE(inScanFolder({L"MODULE", L"x.jarold"}));
    EXPECT_TRUE(inScanFolder({L"system", L"jar", L"x.jarold"}));
    EXPECT_FALSE(inScanFolder({L"module", L"sub", L"x.jarold"}));
}

} // namespace
} // namespace ornivel::publish
