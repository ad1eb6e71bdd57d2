#include "sync/OrnivelClient.h"

#include <windows.h>

#include <algorithm>

#include "common/FolderEntries.h"
#include "common/Handles.h"
#include "logdriver/LastError.h"
#include "filelist/ModuleName.h"

namespace ornivel {

namespace {

std::wstring withBackslash(const std::wstring& directory) {
    if (!directory.empty() && directory.back() == L'\\') return directory;
    return directory + L"\\";
}

} // namespace

OrnivelClient::OrnivelClient(const std::wstring& folder, const LogDriver& log) : folder_(folder), log_(log) {
    if (folder_.empty() || (folder_.back() != L'\\' && folder_.back() != L'/')) folder_ += L'\\';
    log_.log(LOG_DEBUG, L"Ornivel client in folder %s", folder_.c_str());
}

std::vector<std::wstring> OrnivelClient::listFiles(const std::wstring& directory, const std::wstring& pattern) {
    std::vector<std::wstring> names;
    forEachFolderEntry(withBackslash(directory) + pattern, [&](const WIN32_FIND_DATAW& data) {
        if (!isFolderEntry(data)) names.push_back(data.cFileName);
    });
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::wstring> OrnivelClient::listSubfolders(const std::wstring& directory) {
    std::vector<std::wstring> names;
    forEachFolderEntry(withBackslash(directory) + L"*", [&](const WIN32_FIND_DATAW& data) {
        if (isFolderEntry(data) && data.cFileName[0] != L'.')
            names.push_back(data.cFileName);
    });
    return names;
}

std::vector<std::wstring> OrnivelClient::scanEntries() {
    std::vector<std::wstring> entries;
    for (const wchar_t* scanFolder : kScanFolders) {
        log_.log(LOG_DEBUG, L"Checking directory '%s'", scanFolder);
        const std::wstring directory = folder_ + scanFolder;
        for (const wchar_t* pattern : kScanPatterns)
            for (const std::wstring& name : listFiles(directory, pattern)) entries.push_back(scanFolder + name);
        for (const std::wstring& name : listSubfolders(directory)) {
            entries.push_back(scanFolder + name);
            log_.log(LOG_DEBUG, L"Added JAR File'%s'", entries.back().c_str());
        }
    }
    return entries;
}

// The low 32 bits of the entry's size; a folder has size 0. An entry that vanished since
// the scan counts with size 0.
int OrnivelClient::entrySize(const std::wstring& entry) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW((folder_ + entry).c_str(), GetFileExInfoStandard, &data)) {
        log_.log(LOG_DEBUG, L"Could not read the size of %s: %s", entry.c_str(), LastError().text().c_str());
        return 0;
    }
    return static_cast<int>(data.nFileSizeLow);
}

std::wstring OrnivelClient::clientChecksum() {
    std::wstring text;
    for (const std::wstring& entry : scanEntries()) {
        log_.log(LOG_DEBUG, L"Modulname: %s", entry.c_str());
        std::wstring name;
        if (!moduleName(entry, name)) continue;
        appendChecksumItem(text, name, entrySize(entry), entry);
    }
    const std::wstring checksum = clientChecksumOfText(text);
    log_.log(LOG_DEBUG, L"MD5 is %s", checksum.c_str());
    return checksum;
}

} // namespace ornivel
