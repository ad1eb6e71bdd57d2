#include "launcher/CompanyCatalog.h"

#include <windows.h>

#include "common/Text.h"

namespace ornivel {

std::vector<std::wstring> splitTokens(const std::wstring& text, wchar_t separator) {
    std::vector<std::wstring> fields;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t start = text.find_first_not_of(separator, pos);
        if (start == std::wstring::npos) break;
        size_t end = text.find(separator, start);
        if (end == std::wstring::npos) end = text.size();
        fields.push_back(text.substr(start, end - start));
        pos = end;
    }
    return fields;
}

bool addCompanyValue(CompanyCatalog& catalog, const std::wstring& value) {
    std::vector<std::wstring> fields = splitTokens(value, L'$');
    if (fields.size() < 3) return false;
    std::wstring key = fields[0] == L"DIZ_DIZ" ? L"DIZ" : fields[0];
    catalog.companyCaptions[key] = fields[1];
    catalog.companyServers[key] = fields[2];
    return true;
}

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
