// The values of the company catalogue (see CompanyCatalog.h) as text; the ini file itself is
// read by the system.
#include "config/CompanyCatalog.h"

#include "common/TextScan.h"

namespace ornivel {

bool addCompanyValue(CompanyCatalog& catalog, const std::wstring& value) {
    std::vector<std::wstring> fields = splitTokens(value, L'$');
    if (fields.size() < 3) return false;
    std::wstring key = fields[0] == L"DIZ_DIZ" ? L"DIZ" : fields[0];
    catalog.companyCaptions[key] = fields[1];
    catalog.companyServers[key] = fields[2];
    return true;
}

} // namespace ornivel
