#include "sync/OrnivelClient.h"

namespace ornivel {

// Placeholder until the module scan lands: no checksum yet.
OrnivelClient::OrnivelClient(const std::wstring& folder, const LogDriver& log) : folder_(folder), log_(log) {}

std::wstring OrnivelClient::clientChecksum() { return {}; }

} // namespace ornivel
