#pragma once
// The fleet of a deployment as its installations report it. A deployment published with
// --report marks its list, and each launcher that takes the list sends after every run
//
//   GET <version check>/report?id=..&host=..&result=..&checksum=..&serial=..&files=..&bytes=..
//       &seconds=..&mode=start|updateonly
//
// (values percent-encoded), which the web server answers 204 and logs. This reads such logs
// in nginx's "combined" format (CDNs write it too; only the time and the request line count)
// and tells per installation how its runs went. Plain text logic.
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace ornivel::publish {

// One report.
struct FleetReport {
    int64_t seconds = 0;   // when it arrived, since 1970-01-01 00:00:00 UTC
    std::string id;        // the installation's GUID, made once per installation
    std::string host;      // the computer's name
    long result = 0;       // the run's result code
    std::string checksum;  // the installation's client checksum
    std::string serial;    // the serial of its list
};

// Reads one log line; false for any other request and for lines that are not a log line.
bool parseReportLine(std::string_view line, FleetReport& report);

// Result codes: 0 and 10 are runs that ended well (10: the launcher replaces itself, the run
// goes on in the new one).
bool isSuccessResult(long code);
// "current", "replacing itself", ... "code N" for codes this version does not know.
std::string resultWords(long code);

// What the reports tell of one installation.
struct Installation {
    std::string id;
    std::string host;       // of the last report
    int64_t lastSeen = 0;   // the time of the last report
    long lastResult = 0;
    std::string checksum;   // of the last report
    std::string serial;     // of the last report
    uint64_t runs = 0;      // reports counted
    uint64_t failures = 0;  // failed runs after the last run that ended well
};

// Gathers the reports of one or more logs, given in pieces of any size. The logs may come in
// any order (rotated logs, several servers): reports count by their time, and within the same
// second in the order read.
class FleetGatherer {
public:
    // Reports that arrived before `earliest` (seconds since 1970 UTC) are passed over.
    explicit FleetGatherer(int64_t earliest = std::numeric_limits<int64_t>::min()) : earliest_(earliest) {}

    void addPiece(std::string_view piece);
    // The end of one log (a last line without line end counts).
    void endLog();

    // Lines that are no report (other requests, damaged lines); empty lines do not count.
    uint64_t skippedLines() const { return skipped_; }
    // Sorted by computer name (letter case aside), then id.
    std::vector<Installation> installations() const;

private:
    struct Key {
        int64_t seconds = 0;
        uint64_t order = 0;
        bool operator<(const Key& other) const {
            return seconds != other.seconds ? seconds < other.seconds : order < other.order;
        }
    };
    struct Tracked {
        Installation latest;
        Key latestKey;
        bool succeeded = false;
        Key successKey;             // of the last run that ended well
        std::vector<Key> failures;  // failed runs not known to lie before it
    };
    void addLine(std::string_view line);

    int64_t earliest_;
    std::string partial_;  // a line begun in an earlier piece
    std::unordered_map<std::string, Tracked> byId_;
    uint64_t order_ = 0;
    uint64_t skipped_ = 0;
};

// An aligned table with a heading line.
std::string fleetTable(const std::vector<Installation>& installations);
// CSV (RFC 4180) with a header line. A value that a spreadsheet would take for a formula
// ("=", "+", "-", "@" first) begins with "'".
std::string fleetCsv(const std::vector<Installation>& installations);

} // namespace ornivel::publish
