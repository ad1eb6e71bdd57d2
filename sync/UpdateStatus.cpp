#include "sync/UpdateStatus.h"

#include <windows.h>
#include <objbase.h>

#include "common/FileTimes.h"
#include "common/Registry.h"
#include "common/Text.h"
#include "config/StoredValues.h"
#include "filelist/ListWriter.h"
#include "sync/UpdateResult.h"

namespace ornivel {

const wchar_t* const kStatusPrefix = L"Software\\Torbenwald\\ornivel\\status\\";
const wchar_t* const kPolicyKey = L"Software\\Policies\\Torbenwald\\ornivel";

namespace {

std::wstring newGuidText() {
    GUID guid;
    if (CoCreateGuid(&guid) != S_OK) return {};
    wchar_t text[64] = {};
    if (StringFromGUID2(guid, text, 64) == 0) return {};
    return text;
}

} // namespace

uint64_t secondsSince1970Now() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const uint64_t ticks = ticksOfFileTime(now);
    constexpr uint64_t kTicksTo1970 = 116444736000000000ull;
    return ticks > kTicksTo1970 ? (ticks - kTicksTo1970) / 10000000ull : 0;
}

std::wstring statusKeyOf(const std::wstring& folder) {
    std::wstring key = kStatusPrefix + installationNameOf(folder);
    if (!key.empty() && key.back() == L'\\') key.pop_back();
    return key;
}

std::wstring recordUpdateStatus(const std::wstring& folder, uint32_t result, const std::wstring& clientChecksum,
                                const std::wstring& serial) {
    UniqueRegKey key = createRegistryKey(HKEY_CURRENT_USER, statusKeyOf(folder));
    if (!key) return {};
    std::wstring id;
    if (!readRegistryText(key.get(), L"InstallationId", id) || id.empty()) {
        id = newGuidText();
        writeRegistryText(key.get(), L"InstallationId", id);
    }
    const std::wstring now = fromUtf8(isoUtcText(secondsSince1970Now()));
    writeRegistryNumber(key.get(), L"LastResult", result);
    writeRegistryText(key.get(), L"LastRun", now);
    if (result == RESULT_CURRENT) writeRegistryText(key.get(), L"LastSuccess", now);
    writeRegistryText(key.get(), L"ClientChecksum", clientChecksum);
    writeRegistryText(key.get(), L"Serial", serial);
    return id;
}

std::optional<uint64_t> lastSuccessOf(const std::wstring& folder) {
    UniqueRegKey key = openRegistryKey(HKEY_CURRENT_USER, statusKeyOf(folder));
    std::wstring text;
    uint64_t seconds = 0;
    if (!key || !readRegistryText(key.get(), L"LastSuccess", text) || !parseIsoUtcText(toUtf8(text), seconds))
        return std::nullopt;
    return seconds;
}

namespace {

std::optional<uint32_t> policyNumber(const wchar_t* name) {
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        UniqueRegKey key = openRegistryKey(root, kPolicyKey);
        uint32_t number = 0;
        if (key && readRegistryNumber(key.get(), name, number)) return number;
    }
    return std::nullopt;
}

} // namespace

std::optional<uint32_t> offlineStartDaysPolicy() { return policyNumber(L"OfflineStartDays"); }

std::optional<uint32_t> parallelTransfersPolicy() { return policyNumber(L"ParallelTransfers"); }

} // namespace ornivel
