#pragma once
// Command-line flags and the value options "-lib=" and "-path=". Pure text work.
#include <string>

namespace ornivel {

struct StartOptions {
    bool fieldService = false;  // "aussendienst" or "AUSSENDIENST"
    bool noUpdate = false;      // "-noupdate" (or "ZOLP" in the program path, set later)
    bool singus = false;        // "-singus"
    bool debug = false;         // "-debug"
    bool updateOnly = false;    // "-updateonly": synchronise only, without a window or Java
    std::wstring commandLine;
};

// Case-sensitive substring searches over the whole command-line text.
StartOptions parseStartOptions(const std::wstring& commandLine);

// A value option written as OPTION"value". The longest value accepted.
constexpr size_t kMaxOptionValueLength = 259;

struct OptionValue {
    enum Status { Absent, Found, Rejected } status = Absent;
    std::wstring value;   // when Found
    std::wstring reason;  // when Rejected: why, for the log
};

// Finds `option` (for instance "-lib=") in the command line. The value starts after the
// opening double quote and runs to the next double quote. A value without its quotes, or
// longer than kMaxOptionValueLength, is rejected.
OptionValue findOptionValue(const std::wstring& commandLine, const std::wstring& option);

} // namespace ornivel
