#include "FleetReports.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "common/TextScan.h"
#include "filelist/ListWriter.h"
#include "common/Utf16.h"

namespace ornivel::publish {

namespace {

bool digitsOf(std::string_view text, int64_t& value) {
    if (text.empty() || text.size() > 9) return false;
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    return true;
}

// nginx's $time_local: "09/Dec/2026:22:53:55 +0100".
bool parseLogTime(std::string_view text, int64_t& seconds) {
    static const char* const kMonths = "JanFebMarAprMayJunJulAugSepOctNovDec";
    if (text.size() != 26 || text[2] != '/' || text[6] != '/' || text[11] != ':' || text[14] != ':' ||
        text[17] != ':' || text[20] != ' ' || (text[21] != '+' && text[21] != '-'))
        return false;
    const char* month = std::strstr(kMonths, std::string(text.substr(3, 3)).c_str());
    int64_t day, year, hour, minute, second, zoneHours, zoneMinutes;
    if (!month || (month - kMonths) % 3 != 0 || !digitsOf(text.substr(0, 2), day) ||
        !digitsOf(text.substr(7, 4), year) || !digitsOf(text.substr(12, 2), hour) ||
        !digitsOf(text.substr(15, 2), minute) || !digitsOf(text.substr(18, 2), second) ||
        !digitsOf(text.substr(22, 2), zoneHours) || !digitsOf(text.substr(24, 2), zoneMinutes))
        return false;
    if (day < 1 || day > 31 || year < 1 || hour > 23 || minute > 59 || second > 60 || zoneHours > 23 ||
        zoneMinutes > 59)
        return false;
    const int64_t zone = (zoneHours * 3600 + zoneMinutes * 60) * (text[21] == '-' ? -1 : 1);
    seconds = daysOfCivilDate(year, static_cast<unsigned>((month - kMonths) / 3 + 1), static_cast<unsigned>(day)) * 86400 + hour * 3600 + minute * 60 + second - zone;
    return true;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A query value: "%XX" escapes and "+" for a blank; a "%" without two hexadecimal digits
// stands as it is.
std::string decodedValue(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 && hexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
            i += 2;
        } else {
            out += text[i] == '+' ? ' ' : text[i];
        }
    }
    return out;
}

// Text for the terminal or a spreadsheet: a control character, or any byte of a value that is
// not UTF-8, shows as "?" (reports come from anywhere).
std::string shown(const std::string& text) {
    std::wstring units;
    const bool utf8 = utf16OfUtf8(text, units);
    std::string out = text;
    for (char& c : out) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f || (!utf8 && byte >= 0x80)) c = '?';
    }
    return out;
}

// Characters, not bytes, of UTF-8 text.
size_t widthOf(const std::string& text) {
    size_t width = 0;
    for (char c : text)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++width;
    return width;
}

std::vector<std::string> rowOf(const Installation& installation) {
    return {shown(installation.id),
            shown(installation.host),
            isoUtcText(installation.lastSeen),
            resultWords(installation.lastResult),
            shown(installation.checksum),
            shown(installation.serial),
            std::to_string(installation.runs),
            std::to_string(installation.failures)};
}

} // namespace

bool parseReportLine(std::string_view line, FleetReport& report) {
    // $remote_addr - $remote_user [$time_local] "$request" $status $body_bytes_sent "$http_referer" "$http_user_agent"
    const size_t open = line.find(" [");
    if (open == std::string_view::npos || line.size() < open + 2 + 26 + 3) return false;
    int64_t seconds = 0;
    if (!parseLogTime(line.substr(open + 2, 26), seconds) || line.substr(open + 28, 3) != "] \"") return false;
    // The request line, up to its closing quotation mark (nginx writes one within as "\x22",
    // other servers as "\"").
    const size_t start = open + 31;
    size_t end = start;
    while (end < line.size() && line[end] != '"') end += line[end] == '\\' ? 2 : 1;
    if (end >= line.size()) return false;
    const std::string_view request = line.substr(start, end - start);
    if (request.substr(0, 4) != "GET ") return false;
    const std::string_view uri = request.substr(4, request.find(' ', 4) - 4);
    const size_t question = uri.find('?');
    const std::string_view path = uri.substr(0, question);
    const std::string_view name = "/report";
    if (question == std::string_view::npos || path.size() < name.size() ||
        path.substr(path.size() - name.size()) != name)
        return false;

    FleetReport read;
    read.seconds = seconds;
    bool hasResult = false;
    const std::string_view query = uri.substr(question + 1);
    for (size_t from = 0; from <= query.size();) {
        size_t to = query.find('&', from);
        if (to == std::string_view::npos) to = query.size();
        const std::string_view field = query.substr(from, to - from);
        from = to + 1;
        const size_t equals = field.find('=');
        if (equals == std::string_view::npos) continue;
        const std::string_view key = field.substr(0, equals);
        const std::string value = decodedValue(field.substr(equals + 1));
        if (key == "id") {
            read.id = value;
        } else if (key == "host") {
            read.host = value;
        } else if (key == "checksum") {
            read.checksum = value;
        } else if (key == "serial") {
            read.serial = value;
        } else if (key == "result") {
            int64_t code = 0;
            hasResult = digitsOf(value, code);
            read.result = static_cast<long>(code);
        }
    }
    if (read.id.empty() || !hasResult) return false;
    report = std::move(read);
    return true;
}

bool isSuccessResult(long code) { return code == 0 || code == 10; }

std::string resultWords(long code) {
    switch (code) {
    case 0: return "current";
    case 10: return "replacing itself";
    case 20: return "version check failed";
    case 21: return "no file list";
    case 30: return "list refused";
    case 40: return "file failed";
    case 50: return "no configuration";
    default: return "code " + std::to_string(code);
    }
}

void FleetGatherer::addPiece(std::string_view piece) {
    while (!piece.empty()) {
        const size_t end = piece.find('\n');
        if (end == std::string_view::npos) {
            partial_.append(piece);
            return;
        }
        if (partial_.empty()) {
            addLine(piece.substr(0, end));
        } else {
            partial_.append(piece.substr(0, end));
            addLine(partial_);
            partial_.clear();
        }
        piece.remove_prefix(end + 1);
    }
}

void FleetGatherer::endLog() {
    if (!partial_.empty()) addLine(partial_);
    partial_.clear();
}

void FleetGatherer::addLine(std::string_view line) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty()) return;
    FleetReport report;
    if (!parseReportLine(line, report)) {
        ++skipped_;
        return;
    }
    const Key key{report.seconds, order_++};
    if (report.seconds < earliest_) return;
    Tracked& tracked = byId_[report.id];
    Installation& latest = tracked.latest;
    ++latest.runs;
    if (latest.runs == 1 || tracked.latestKey < key) {
        tracked.latestKey = key;
        latest.id = report.id;
        latest.host = std::move(report.host);
        latest.lastSeen = report.seconds;
        latest.lastResult = report.result;
        latest.checksum = std::move(report.checksum);
        latest.serial = std::move(report.serial);
    }
    if (!isSuccessResult(report.result)) {
        if (!tracked.succeeded || tracked.successKey < key) tracked.failures.push_back(key);
    } else if (!tracked.succeeded || tracked.successKey < key) {
        tracked.succeeded = true;
        tracked.successKey = key;
        std::vector<Key>& failures = tracked.failures;
        failures.erase(std::remove_if(failures.begin(), failures.end(), [&key](const Key& k) { return k < key; }),
                       failures.end());
    }
}

std::vector<Installation> FleetGatherer::installations() const {
    std::vector<Installation> result;
    result.reserve(byId_.size());
    for (const auto& [id, tracked] : byId_) {
        result.push_back(tracked.latest);
        result.back().failures = tracked.failures.size();
    }
    std::sort(result.begin(), result.end(), [](const Installation& a, const Installation& b) {
        const std::string x = lowerAscii(a.host), y = lowerAscii(b.host);
        if (x != y) return x < y;
        return a.host != b.host ? a.host < b.host : a.id < b.id;
    });
    return result;
}

std::string fleetTable(const std::vector<Installation>& installations) {
    std::vector<std::vector<std::string>> rows = {
        {"Id", "Computer", "Last seen (UTC)", "Last result", "Client checksum", "Serial", "Runs", "Failures"}};
    for (const Installation& installation : installations) rows.push_back(rowOf(installation));
    std::vector<size_t> widths(rows[0].size(), 0);
    for (const auto& row : rows)
        for (size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], widthOf(row[i]));
    std::string text;
    for (const auto& row : rows) {
        std::string line;
        for (size_t i = 0; i < row.size(); ++i) {
            const std::string padding(widths[i] - widthOf(row[i]), ' ');
            const bool number = i >= 6;  // runs and failures, right-aligned
            line += (i ? "  " : "") + (number ? padding + row[i] : row[i] + padding);
        }
        while (!line.empty() && line.back() == ' ') line.pop_back();
        text += line + "\n";
    }
    return text;
}

std::string fleetCsv(const std::vector<Installation>& installations) {
    std::string text = "id,computer,last seen,last result,client checksum,serial,runs,failures since last success\r\n";
    for (const Installation& installation : installations) {
        const std::vector<std::string> row = rowOf(installation);
        for (size_t i = 0; i < row.size(); ++i) {
            std::string value = row[i];
            if (!value.empty() && std::string_view("=+-@").find(value[0]) != std::string_view::npos)
                value.insert(0, 1, '\'');
            if (value.find_first_of(",\"\r\n") != std::string::npos) {
                std::string quoted = "\"";
                for (char c : value) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
                value = quoted + "\"";
            }
            text += (i ? "," : "") + value;
        }
        text += "\r\n";
    }
    return text;
}

} // namespace ornivel::publish
