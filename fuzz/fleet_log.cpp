// The publisher's fleet view: web-server log lines of anyone who reached the report address.
// Whatever the pieces, every report line counts once, no installation has more failures
// than runs, one whose last run ended well has none, and the table and the CSV hold one
// line per installation and no control character of the input.
#include <string>
#include <string_view>

#include "FuzzSupport.h"
#include "tools/publish/FleetReports.h"

using namespace ornivel::fuzz;
using namespace ornivel::publish;

namespace {

size_t countOf(const std::string& text, char c) {
    size_t n = 0;
    for (char t : text) n += t == c;
    return n;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const size_t cut = data[0] % 64;  // the log arrives in pieces of this size (0: whole)
    const std::string_view log = bytesOf(data + 1, size - 1);
    FleetGatherer whole, pieces;
    whole.addPiece(log);
    whole.endLog();
    for (size_t at = 0; at < log.size(); at += cut ? cut : log.size()) pieces.addPiece(log.substr(at, cut ? cut : log.size()));
    pieces.endLog();
    FUZZ_CHECK(whole.skippedLines() == pieces.skippedLines());

    const auto installations = whole.installations();
    FUZZ_CHECK(installations.size() == pieces.installations().size());
    uint64_t reports = 0;
    for (const Installation& installation : installations) {
        FUZZ_CHECK(installation.runs >= 1 && installation.failures <= installation.runs);
        if (isSuccessResult(installation.lastResult)) FUZZ_CHECK(installation.failures == 0);
        reports += installation.runs;
    }
    FUZZ_CHECK(reports + whole.skippedLines() <= countOf(std::string(log), '\n') + 1);

    const std::string table = fleetTable(installations);
    FUZZ_CHECK(countOf(table, '\n') == installations.size() + 1);
    for (char c : table) FUZZ_CHECK(c == '\n' || static_cast<unsigned char>(c) >= 0x20);
    FUZZ_CHECK(fleetCsv(installations).find('\0') == std::string::npos);
    return 0;
}
