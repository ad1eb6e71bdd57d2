#pragma once
// The status every run leaves for detection rules (software distribution, logon scripts):
// under HKEY_CURRENT_USER\Software\Torbenwald\ornivel\status\ followed by the installation's
// name, the values LastResult (REG_DWORD, UpdateResult), LastRun and LastSuccess (REG_SZ,
// UTC, ISO 8601), ClientChecksum, Serial (signed deployments) and InstallationId (a random
// GUID made once). Also the administrators' policy for starts without a version check.
#include <cstdint>
#include <optional>
#include <string>

namespace ornivel {

extern const wchar_t* const kStatusPrefix;   // "Software\Torbenwald\ornivel\status\"
extern const wchar_t* const kPolicyKey;      // "Software\Policies\Torbenwald\ornivel"

// The status key of an installation folder (relative to HKEY_CURRENT_USER).
std::wstring statusKeyOf(const std::wstring& folder);

// Writes the values of a run that ended with `result` now; the installation's id is made
// when it has none. Returns that id.
std::wstring recordUpdateStatus(const std::wstring& folder, uint32_t result, const std::wstring& clientChecksum,
                                const std::wstring& serial);

// When the last run that found or left the installation current ended (seconds since 1970).
std::optional<uint64_t> lastSuccessOf(const std::wstring& folder);

// "OfflineStartDays" (REG_DWORD) of the policy key, under HKEY_LOCAL_MACHINE, then
// HKEY_CURRENT_USER; none without the policy.
std::optional<uint32_t> offlineStartDaysPolicy();

// "ParallelTransfers" (REG_DWORD) of the policy key, under HKEY_LOCAL_MACHINE, then
// HKEY_CURRENT_USER: how many files travel at once from one server; none without it.
std::optional<uint32_t> parallelTransfersPolicy();

uint64_t secondsSince1970Now();

} // namespace ornivel
