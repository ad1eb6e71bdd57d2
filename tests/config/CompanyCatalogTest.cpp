#include <gtest/gtest.h>

#include "config/CompanyCatalog.h"
#include "tests/support/TestSupport.h"

namespace ornivel {
namespace {

using Fields = std::vector<std::wstring>;

TEST(SplitTokens, RunsOfSeparatorsCountAsOneAndEndsGiveNoEmptyFields) {
    EXPECT_EQ(splitTokens(L"A$$Caption$$server", L'$'), (Fields{L"A", L"Caption", L"server"}));
    EXPECT_EQ(splitTokens(L"$a$b$", L'$'), (Fields{L"a", L"b"}));
    EXPECT_EQ(splitTokens(L"$$$", L'$'), Fields{});
    EXPECT_EQ(splitTokens(L"", L'$'), Fields{});
    EXPECT_EQ(splitTokens(L"single", L'$'), Fields{L"single"});
}

TEST(CompanyValue, KeyCaptionServerAndTheDizRename) {
    CompanyCatalog c;
    EXPECT_TRUE(addCompanyValue(c, L"DIZ_DIZ$Main$host/x$ignored"));
    EXPECT_EQ(c.companyCaptions.at(L"DIZ"), L"Main");
    EXPECT_EQ(c.companyServers.at(L"DIZ"), L"host/x");
    EXPECT_EQ(c.companyCaptions.count(L"DIZ_DIZ"), 0u);

    EXPECT_TRUE(addCompanyValue(c, L"DIZ$Other$srv"));  // a repeated key replaces
    EXPECT_EQ(c.companyCaptions.at(L"DIZ"), L"Other");
}

TEST(CompanyValue, TooFewFieldsAreSkipped) {
    CompanyCatalog c;
    EXPECT_FALSE(addCompanyValue(c, L"A$Caption"));
    EXPECT_FALSE(addCompanyValue(c, L"$$$$"));
    EXPECT_TRUE(c.companyCaptions.empty());
}

class CompanyIni : public ::testing::Test {
protected:
    CompanyCatalog read(const std::string& ini) {
        folder.write(L"ornivel.ini", ini);
        // The entry passes the folder with its backslash followed by "\ornivel.ini".
        return readCompanyCatalog(folder.path() + L"\\ornivel.ini");
    }
    test::TempFolder folder{L"ini"};
};

TEST_F(CompanyIni, TypicalFile) {
    CompanyCatalog c = read(
        "[Company]\r\nCompany1=A$Company A$srv-a/client\r\nCompany2=B$Company B$srv-b/client\r\n"
        "[DisplayCompany]\r\nDIZ=A$B\r\n");
    EXPECT_EQ(c.companyCaptions.size(), 2u);
    EXPECT_EQ(c.companyCaptions.at(L"B"), L"Company B");
    EXPECT_EQ(c.companyServers.at(L"A"), L"srv-a/client");
    EXPECT_EQ(c.displayCompanies, (Fields{L"A", L"B"}));
}

TEST_F(CompanyIni, AGapEndsTheListAndShortValuesAreSkipped) {
    CompanyCatalog c = read(
        "[Company]\r\nCompany1=A$x$y\r\nCompany2=broken\r\nCompany3=C$z$w\r\nCompany5=E$e$e\r\n"
        "[DisplayCompany]\r\nDIZ=$A$$C$\r\n");
    EXPECT_EQ(c.companyCaptions.size(), 2u);
    EXPECT_EQ(c.companyCaptions.count(L"E"), 0u);
    EXPECT_EQ(c.displayCompanies, (Fields{L"A", L"C"}));
}

TEST_F(CompanyIni, Company1AndCompany3WithoutCompany2GiveOneCompany) {
    CompanyCatalog c = read("[Company]\r\nCompany1=A$x$y\r\nCompany3=C$z$w\r\n");
    EXPECT_EQ(c.companyCaptions.size(), 1u);
    EXPECT_TRUE(c.displayCompanies.empty());
}

TEST_F(CompanyIni, MissingFileGivesAnEmptyCatalogue) {
    CompanyCatalog c = readCompanyCatalog(folder.path() + L"\\absent.ini");
    EXPECT_TRUE(c.companyCaptions.empty());
    EXPECT_TRUE(c.displayCompanies.empty());
}

} // namespace
} // namespace ornivel
