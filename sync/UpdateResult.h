#pragma once
// The outcome of a synchronisation as administrators see it: the exit code of an update-only
// run, the status value kept for detection rules, and the fleet report sent to a deployment
// that asks for one. Plain text logic, no system calls.
#include <cstdint>
#include <string>

namespace ornivel {

enum UpdateResult : uint32_t {
    RESULT_CURRENT = 0,            // nothing to do, or updated now
    RESULT_RESTARTING = 10,        // the launcher replaces itself; its new version finishes the run
    RESULT_NO_VERSION_CHECK = 20,  // the version check could not be made
    RESULT_NO_FILE_LIST = 21,      // no deployment server delivered the file list
    RESULT_LIST_REFUSED = 30,      // damaged list, unsafe paths, signature, older serial
    RESULT_FILE_FAILED = 40,       // a file could not be fetched, checked or replaced
    RESULT_NO_CONFIGURATION = 50,  // no "ornivel-Server.dat" and no saved answer
};

// What a synchronisation run came to, for the status and the report.
struct RunOutcome {
    UpdateResult result = RESULT_CURRENT;
    uint64_t files = 0;    // files fetched
    uint64_t bytes = 0;    // bytes of the files fetched
    uint64_t seconds = 0;  // how long the run took
};

// Seconds since 1970 of a text "2026-12-09T21:53:55Z" (isoUtcText, ListWriter.h); false for
// other texts.
bool parseIsoUtcText(const std::string& text, uint64_t& seconds);

// What one run reports to a deployment that asks for fleet reports.
struct FleetReportFields {
    std::string id;        // the installation's id (a GUID)
    std::string host;      // the computer's name, never a user's
    uint32_t result = 0;   // UpdateResult
    std::string checksum;  // the client checksum after the run
    std::string serial;    // the accepted list's serial, empty when unsigned
    uint64_t files = 0;    // files fetched
    uint64_t bytes = 0;    // bytes of the files fetched
    uint64_t seconds = 0;  // how long the run took
    bool updateOnly = false;
};
// "report?id=..&host=..&result=..&checksum=..&serial=..&files=..&bytes=..&seconds=..&mode=..",
// every value percent-encoded; appended to the version-check URL after a "/".
std::string fleetReportTarget(const FleetReportFields& fields);

} // namespace ornivel
