// The values of "ornivel.ini": CompanyN values until the first empty one, then the
// DisplayCompany list. Fields never hold "$" and are never empty, a value counts only with
// three fields, and the catalogue holds each key with its last value.
#include <map>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "config/CompanyCatalog.h"

using namespace ornivel;
using namespace ornivel::fuzz;

namespace {

// Runs of "$" count as one separator; leading and trailing ones give nothing.
std::wstring collapsed(const std::wstring& value) {
    std::wstring out;
    for (wchar_t c : value) {
        if (c == L'$' && (out.empty() || out.back() == L'$')) continue;
        out += c;
    }
    if (!out.empty() && out.back() == L'$') out.pop_back();
    return out;
}

std::vector<std::wstring> checkedTokens(const std::wstring& value) {
    const std::vector<std::wstring> fields = splitTokens(value, L'$');
    std::wstring joined;
    for (const std::wstring& field : fields) {
        FUZZ_CHECK(!field.empty() && field.find(L'$') == std::wstring::npos);
        joined += (joined.empty() ? L"" : L"$") + field;
    }
    FUZZ_CHECK(joined == collapsed(value));
    return fields;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::wstring> values;
    for (const std::string& line : textLines(bytesOf(data, size))) values.push_back(widenBytes(line));

    CompanyCatalog catalog;
    std::map<std::wstring, std::pair<std::wstring, std::wstring>> expected;
    size_t n = 0;
    for (; n < values.size() && !values[n].empty(); ++n) {
        const std::vector<std::wstring> fields = checkedTokens(values[n]);
        FUZZ_CHECK(addCompanyValue(catalog, values[n]) == (fields.size() >= 3));
        if (fields.size() >= 3) expected[fields[0] == L"DIZ_DIZ" ? L"DIZ" : fields[0]] = {fields[1], fields[2]};
    }
    FUZZ_CHECK(catalog.companyCaptions.size() == expected.size() && catalog.companyServers.size() == expected.size());
    for (const auto& [key, value] : expected) {
        FUZZ_CHECK(catalog.companyCaptions[key] == value.first);
        FUZZ_CHECK(catalog.companyServers[key] == value.second);
    }
    if (n + 1 < values.size()) catalog.displayCompanies = checkedTokens(values.back());
    return 0;
}
