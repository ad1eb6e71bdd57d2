#include "filelist/ListWriter.h"

#include <cstdio>

namespace ornivel {

const char* const kFileListStart = "<FileList>\r\n";
const char* const kFileListEnd = "</FileList>\r\n";

std::string signedFileListStart(uint64_t serial) { return fileListStart(serial, false); }

std::string fileListStart(uint64_t serial, bool report) {
    ListHeader header;
    header.serial = serial;
    header.report = report;
    return fileListStart(header);
}

std::string fileListStart(const ListHeader& header) {
    std::string line = "<FileList";
    if (header.serial != 0) line += " Serial=\"" + std::to_string(header.serial) + "\"";
    if (header.report) line += " Report=\"1\"";
    if (header.expires != 0) line += " Expires=\"" + std::to_string(header.expires) + "\"";
    if (!header.servers.empty()) line += " Servers=\"" + xmlEscaped(header.servers) + "\"";
    return line + ">\r\n";
}

namespace {

// Seconds of 02.01.1601 00:00:00 and of 30.12.9999 23:59:59 UTC.
constexpr int64_t kEarliest = -11644387200LL;
constexpr int64_t kLatest = 253402041599LL;

int64_t floorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

} // namespace

std::string xmlEscaped(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        default: out += c;
        }
    }
    return out;
}

ListTime listTimeOfUnixSeconds(int64_t seconds) {
    if (seconds < kEarliest) seconds = kEarliest;
    if (seconds > kLatest) seconds = kLatest;
    const int64_t days = floorDiv(seconds, 86400);
    const int64_t inDay = seconds - days * 86400;
    // Civil date of a day count (proleptic Gregorian calendar, eras of 400 years).
    const int64_t z = days + 719468;
    const int64_t era = floorDiv(z, 146097);
    const int64_t dayOfEra = z - era * 146097;
    const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t monthIndex = (5 * dayOfYear + 2) / 153;
    ListTime time;
    time.day = static_cast<unsigned short>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
    time.month = static_cast<unsigned short>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
    time.year = static_cast<unsigned short>(yearOfEra + era * 400 + (time.month <= 2 ? 1 : 0));
    time.hour = static_cast<unsigned short>(inDay / 3600);
    time.minute = static_cast<unsigned short>(inDay / 60 % 60);
    time.second = static_cast<unsigned short>(inDay % 60);
    return time;
}

int64_t daysOfCivilDate(int64_t year, unsigned month, unsigned day) {
    year -= month <= 2 ? 1 : 0;
    const int64_t era = floorDiv(year, 400);
    const int64_t yearOfEra = year - era * 400;
    const int64_t dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

std::string isoUtcText(int64_t seconds) {
    const ListTime time = listTimeOfUnixSeconds(seconds);
    char text[64];
    std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02uZ", time.year, time.month, time.day, time.hour,
                  time.minute, time.second);
    return text;
}

std::string listTimeText(const ListTime& time) {
    char text[64];
    std::snprintf(text, sizeof text, "%02u.%02u.%04u %02u:%02u:%02u", time.day, time.month, time.year, time.hour,
                  time.minute, time.second);
    return text;
}

std::string fileListEntry(std::string_view relativePath, const ListTime& utc, uint64_t size, std::string_view checksum,
                          std::string_view sha256, std::string_view patches) {
    std::string path(relativePath);
    for (char& c : path)
        if (c == '/') c = '\\';
    std::string line = "  <File Path=\"";
    line += xmlEscaped(path);
    line += "\" TimestampGMT=\"";
    line += listTimeText(utc);
    line += "\" Size=\"";
    line += std::to_string(size);
    line += "\" checksum=\"";
    line += xmlEscaped(checksum);
    if (!sha256.empty()) {
        line += "\" sha256=\"";
        line += xmlEscaped(sha256);
    }
    if (!patches.empty()) {
        line += "\" patches=\"";
        line += xmlEscaped(patches);
    }
    line += "\"/>\r\n";
    return line;
}

} // namespace ornivel
