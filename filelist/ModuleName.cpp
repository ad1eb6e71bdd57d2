#include "filelist/ModuleName.h"

#include <cstdint>

#include "common/Utf16.h"
#include "filelist/Md5.h"

namespace ornivel {

const wchar_t* const kModuleMarker = L"module";
const wchar_t* const kChecksumPrefix = L"Quorn58";
const wchar_t* const kScanFolders[2] = {L"module/", L"system/jar/"};
const wchar_t* const kScanPatterns[2] = {L"*.jar", L"*.jbn"};

namespace {

// Removes every occurrence, scanning from the left and going on after each removal point.
void removeAll(std::wstring& text, const std::wstring& part) {
    size_t at = 0;
    while ((at = text.find(part, at)) != std::wstring::npos) text.erase(at, part.size());
}

} // namespace

bool moduleName(const std::wstring& relativePath, std::wstring& name) {
    if (relativePath.find(kModuleMarker) == std::wstring::npos) return false;
    name = relativePath;
    removeAll(name, L".jar");
    removeAll(name, kModuleMarker);
    for (const wchar_t* part : {L"0", L"1", L"2", L"3", L"4", L"5", L"6", L"7", L"8", L"9", L".", L"-", L"/", L"\\"})
        removeAll(name, part);
    return true;
}

std::wstring foldHash(const std::wstring& text) {
    // The fold works on UTF-16 code units, whatever a wide character is on this platform.
    const std::u16string units = toUtf16(text);
    uint32_t value = 0;
    for (size_t i = 0; i < units.size(); i += 4) {
        uint32_t group = 0;
        for (size_t k = 0; k < 4; ++k) {
            uint32_t unit = i + k < units.size() ? units[i + k] : 0;
            group |= unit << (8 * k);
        }
        value ^= group;
    }
    static const wchar_t kHex[] = L"0123456789abcdef";
    std::wstring hex;
    do {
        hex.insert(hex.begin(), kHex[value & 15]);
        value >>= 4;
    } while (value != 0);
    return hex;
}

std::wstring checksumItem(int size, const std::wstring& entry) {
    return std::to_wstring(size) + L";" + entry;
}

void appendChecksumItem(std::wstring& text, const std::wstring& name, int size, const std::wstring& entry) {
    text += name;
    text += L'=';
    text += foldHash(checksumItem(size, entry));
    text += L';';
}

std::wstring clientChecksumOfText(const std::wstring& text) { return md5HexOfText(kChecksumPrefix + text); }

} // namespace ornivel
