#include "NameRules.h"

#include <unordered_map>
#include <unordered_set>

#include "Upcase.h"
#include "common/RelativePath.h"
#include "common/Utf16.h"

namespace ornivel::publish {

namespace {

std::string asciiText(const wchar_t* text) {
    std::string out;
    for (; *text; ++text) out += static_cast<char>(*text);
    return out;
}

} // namespace

bool readPublishedName(const std::string& path, std::vector<std::wstring>& parts, std::string& reason) {
    std::wstring units;
    if (!utf16OfUtf8(path, units)) {
        reason = "is not valid UTF-8 (Windows names are Unicode)";
        return false;
    }
    parts.clear();
    std::wstring joined;
    size_t start = 0;
    for (;;) {
        const size_t end = units.find(L'/', start);
        const std::wstring part = units.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
        if (part.find(L'\\') != std::wstring::npos) {
            reason = "holds \"\\\", which Windows takes for a folder separator";
            return false;
        }
        parts.push_back(part);
        if (!joined.empty()) joined += L'\\';
        joined += part;
        if (end == std::wstring::npos) break;
        start = end + 1;
    }
    const CheckedPath checked = checkRelativePath(joined);
    if (!checked.ok() || checked.path != joined) {
        reason = asciiText(pathFaultText(checked.ok() ? PathFault::Empty : checked.fault));
        return false;
    }
    return true;
}

std::vector<std::string> caseCollisions(const std::vector<std::string>& paths,
                                        const std::vector<std::vector<std::wstring>>& parts) {
    std::vector<std::string> problems;
    // Upper-cased path (of a file or of a folder on its way) -> the spelling seen first.
    std::unordered_map<std::wstring, std::string> seen;
    std::unordered_set<std::string> reported;
    for (size_t i = 0; i < paths.size(); ++i) {
        std::wstring key;
        size_t end = 0;
        for (size_t k = 0; k < parts[i].size(); ++k) {
            if (k) key += L'\\';
            key += upcased(parts[i][k]);
            end = paths[i].find('/', k == 0 ? 0 : end + 1);
            if (end == std::string::npos) end = paths[i].size();
            const std::string spelling = paths[i].substr(0, end);
            auto [at, fresh] = seen.emplace(key, spelling);
            if (!fresh && at->second != spelling) {
                const std::string problem = "\"" + at->second + "\" and \"" + spelling +
                                            "\" differ only in letter case; Windows keeps only one of them";
                if (reported.insert(problem).second) problems.push_back(problem);
                break;
            }
        }
    }
    return problems;
}

} // namespace ornivel::publish
