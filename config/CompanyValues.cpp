// The values of the company catalogue (see CompanyCatalog.h) as text; the ini file itself is
// read by the system.
#include "config/CompanyCatalog.h"

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

} // namespace ornivel
