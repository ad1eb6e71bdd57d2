#pragma once
// The operating system's last error, captured right after a failing call, as one line.
#include <cstdint>
#include <string>

namespace ornivel {

class LastError {
public:
    // GetLastError(), else the C runtime's errno, else WSAGetLastError().
    LastError();
    explicit LastError(uint32_t code) : code_(code) {}
    virtual ~LastError() = default;

    uint32_t code() const { return code_; }
    // The system's message for the code, cut at its first carriage return, followed by
    // " (0x%08x)"; "Unknown Error" when the system has no text for it.
    std::wstring text() const;

private:
    uint32_t code_;
};

} // namespace ornivel
