#pragma once
// The installed client, described by its client checksum.
#include <string>

#include "logdriver/LogDriver.h"

namespace ornivel {

class OrnivelClient {
public:
    OrnivelClient(const std::wstring& folder, const LogDriver& log);
    virtual ~OrnivelClient() = default;

    // 32 lower-case hexadecimal digits.
    std::wstring clientChecksum();

private:
    std::wstring folder_;
    LogDriver log_;
};

} // namespace ornivel
