#include "config/CompanyCatalog.h"

#include <windows.h>

#include "common/Text.h"

namespace ornivel {

namespace {
// Values are read into a buffer of 1000 characters, as the system cuts longer ones.
std::wstring readIniValue(const std::wstring& path, const wchar_t* section, const std::wstring& key) {
    wchar_t buffer[1000];
    DWORD n = GetPrivateProfileStringW(section, key.c_str(), L"", buffer, 1000, path.c_str());
    return std::wstring(buffer, n);
}
} // namespace

CompanyCatalog readCompanyCatalog(const std::wstring& iniPath) {
    CompanyCatalog catalog;
    for (int n = 1;; ++n) {
        std::wstring value = readIniValue(iniPath, L"Company", formatWide(L"Company%d", n));
        if (value.empty()) break;  // a gap ends the list
        addCompanyValue(catalog, value);
    }
    catalog.displayCompanies = splitTokens(readIniValue(iniPath, L"DisplayCompany", L"DIZ"), L'$');
    return catalog;
}

} // namespace ornivel
