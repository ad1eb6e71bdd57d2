#include "ModuleScan.h"

#include <algorithm>
#include <map>
#include <set>

#include "Upcase.h"
#include "filelist/ModuleName.h"

namespace ornivel::publish {

namespace {

// The scan folders as components ("module/" -> {"module"}), upper-cased.
std::vector<std::wstring> scanFolderParts(const wchar_t* scanFolder) {
    std::vector<std::wstring> parts;
    std::wstring part;
    for (const wchar_t* c = scanFolder; *c; ++c) {
        if (*c == L'/') {
            parts.push_back(upcased(part));
            part.clear();
        } else {
            part += *c;
        }
    }
    return parts;
}

// Whether `parts` starts with the folder's components (compared as Windows compares names)
// and goes on below it.
bool below(const std::vector<std::wstring>& parts, const std::vector<std::wstring>& folder) {
    if (parts.size() <= folder.size()) return false;
    for (size_t i = 0; i < folder.size(); ++i)
        if (upcased(parts[i]) != folder[i]) return false;
    return true;
}

// "*.jar" and "*.jbn" as a Windows enumeration matches a long name: any name ending in the
// extension, in any letter case.
bool matchesPattern(const std::wstring& name, const wchar_t* pattern) {
    const std::wstring suffix = upcased(std::wstring(pattern + 1));
    const std::wstring upper = upcased(name);
    return upper.size() >= suffix.size() && upper.compare(upper.size() - suffix.size(), suffix.size(), suffix) == 0;
}

} // namespace

bool inScanFolder(const std::vector<std::wstring>& parts) {
    for (const wchar_t* scanFolder : kScanFolders) {
        const std::vector<std::wstring> folder = scanFolderParts(scanFolder);
        if (parts.size() == folder.size() + 1 && below(parts, folder)) return true;
    }
    return false;
}

bool matchesOnlyByShortName(const std::wstring& name) {
    for (const wchar_t* pattern : kScanPatterns)
        if (matchesPattern(name, pattern)) return false;
    const size_t dot = name.rfind(L'.');
    if (dot == std::wstring::npos || name.size() - dot - 1 <= 3) return false;
    const std::wstring start = upcased(name.substr(dot + 1, 3));
    for (const wchar_t* pattern : kScanPatterns)
        if (start == upcased(std::wstring(pattern + 2))) return true;
    return false;
}

std::vector<std::pair<std::wstring, int>> moduleScanEntries(const std::vector<ScannedName>& files) {
    std::vector<std::pair<std::wstring, int>> entries;
    for (const wchar_t* scanFolder : kScanFolders) {
        const std::vector<std::wstring> folder = scanFolderParts(scanFolder);
        std::map<std::wstring, int> filesHere;  // name -> low 32 size bits
        std::vector<std::wstring> subfolders;
        std::set<std::wstring> seen;
        for (const ScannedName& file : files) {
            if (!below(file.parts, folder)) continue;
            const std::wstring& name = file.parts[folder.size()];
            if (file.parts.size() == folder.size() + 1) {
                filesHere[name] = static_cast<int>(static_cast<uint32_t>(file.size));
            } else if (name[0] != L'.' && seen.insert(name).second) {
                subfolders.push_back(name);
            }
        }
        for (const wchar_t* pattern : kScanPatterns)
            for (const auto& [name, size] : filesHere)  // the map keeps UTF-16 unit order
                if (matchesPattern(name, pattern)) entries.emplace_back(scanFolder + name, size);
        std::sort(subfolders.begin(), subfolders.end(), ntfsLess);
        for (const std::wstring& name : subfolders) entries.emplace_back(scanFolder + name, 0);
    }
    return entries;
}

std::wstring predictedClientChecksum(const std::vector<ScannedName>& files) {
    std::wstring text;
    for (const auto& [entry, size] : moduleScanEntries(files)) {
        std::wstring name;
        if (moduleName(entry, name)) appendChecksumItem(text, name, size, entry);
    }
    return clientChecksumOfText(text);
}

} // namespace ornivel::publish
