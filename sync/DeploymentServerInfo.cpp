#include "sync/DeploymentServerInfo.h"

#include "common/Text.h"
#include "common/TextScan.h"

namespace ornivel {

std::wstring DeploymentServerInfo::displayName() const {
    if (!label.empty()) return label;
    if (type == L"http" || type == L"https" || type == L"inet") return host;
    if (type == L"net") return path;
    return {};
}

bool DeploymentServerInfo::hasControlCharacter() const {
    for (const std::wstring* text : {&host, &path})
        for (wchar_t c : *text)
            if (c < 0x20 || c == 0x7F) return true;
    return false;
}

int parsePortField(const std::wstring& field) { return clampedLeadingInt(field); }

namespace {

void assignLabels(std::vector<DeploymentServerInfo>& servers, const std::wstring& labels) {
    const std::vector<std::wstring> tokens = splitTokens(labels, L'~');
    for (size_t i = 0; i < tokens.size() && i < servers.size(); ++i) servers[i].label = tokens[i];
}

// One record of the answer's server list: its six fields, each ended by "|" in the answer.
struct RawRecord {
    std::wstring fields[6];
};

// Splits the answer into its records; `rest` is where the text after the last whole record
// begins (the label group and anything after it).
std::vector<RawRecord> splitRecords(const std::wstring& answer, size_t& rest) {
    std::vector<RawRecord> records;
    size_t position = 0;
    for (;;) {
        RawRecord record;
        size_t count = 0;
        for (size_t at = position; count < 6; ++count) {
            const size_t bar = answer.find(L'|', at);
            if (bar == std::wstring::npos) break;
            record.fields[count] = answer.substr(at, bar - at);
            at = bar + 1;
        }
        if (count < 6) break;
        for (size_t field = 0; field < 6; ++field) position += record.fields[field].size() + 1;
        records.push_back(std::move(record));
    }
    rest = position;
    return records;
}

} // namespace

std::vector<DeploymentServerInfo> parseServerList(const std::wstring& answer) {
    size_t rest = 0;
    const std::vector<RawRecord> records = splitRecords(answer, rest);
    std::vector<DeploymentServerInfo> servers;
    servers.reserve(records.size());
    for (const RawRecord& record : records) {
        const std::wstring* fields = record.fields;
        servers.emplace_back(fields[1], fields[2], fields[0], parsePortField(fields[3]), fields[4], fields[5]);
    }
    // A last group of fewer than six fields: its first field carries the labels.
    const size_t bar = answer.find(L'|', rest);
    if (bar != std::wstring::npos) assignLabels(servers, answer.substr(rest, bar - rest));
    return servers;
}

std::wstring maskedServerList(const std::wstring& answer) {
    size_t rest = 0;
    const std::vector<RawRecord> records = splitRecords(answer, rest);
    std::wstring masked;
    masked.reserve(answer.size());
    for (const RawRecord& record : records) {
        for (size_t field = 0; field < 6; ++field) {
            // The credentials are the fifth and sixth field.
            if (field < 4) masked += record.fields[field];
            else if (!record.fields[field].empty()) masked += L"***";
            masked += L'|';
        }
    }
    masked.append(answer, rest, std::wstring::npos);
    return masked;
}

std::string maskedServerList(const std::string& answer) {
    // Split as the synchroniser reads the answer: as characters of the ANSI code page. A
    // split at the byte "|" would cut inside a double-byte character (code page 932 has "|"
    // as a trail byte) and show the rest of a password as the next record.
    return toAnsi(maskedServerList(fromAnsi(answer)));
}

} // namespace ornivel
