#pragma once
// The company catalogue of "ornivel.ini": which company systems the chooser offers.
#include <map>
#include <string>
#include <vector>

#include "common/TextScan.h"  // splitTokens, which the catalogue's values use

namespace ornivel {

struct CompanyCatalog {
    std::map<std::wstring, std::wstring> companyCaptions;  // key -> caption
    std::map<std::wstring, std::wstring> companyServers;   // key -> deployment server address
    std::vector<std::wstring> displayCompanies;            // keys, one button each, file order
};


// Applies one "CompanyN" value (key$caption$server...). Values with fewer than three
// fields are skipped; "DIZ_DIZ" is stored as "DIZ". Returns whether it was applied.
bool addCompanyValue(CompanyCatalog& catalog, const std::wstring& value);

// Reads the catalogue from an ini file (sections "Company" and "DisplayCompany").
CompanyCatalog readCompanyCatalog(const std::wstring& iniPath);

} // namespace ornivel
