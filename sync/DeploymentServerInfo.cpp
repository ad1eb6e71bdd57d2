#include "sync/DeploymentServerInfo.h"

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

} // namespace

std::vector<DeploymentServerInfo> parseServerList(const std::wstring& answer) {
    std::vector<DeploymentServerInfo> servers;
    size_t position = 0;
    while (position < answer.size()) {
        std::wstring fields[6];
        size_t count = 0;
        while (count < 6) {
            size_t bar = answer.find(L'|', position);
            if (bar == std::wstring::npos) break;
            fields[count++] = answer.substr(position, bar - position);
            position = bar + 1;
        }
        if (count == 6) {
            servers.emplace_back(fields[1], fields[2], fields[0], parsePortField(fields[3]), fields[4], fields[5]);
        } else {
            if (count > 0) assignLabels(servers, fields[0]);
            break;  // no "|" left: the rest is not a field
        }
    }
    return servers;
}

std::string maskedServerList(const std::string& answer) {
    std::string masked;
    masked.reserve(answer.size());
    size_t position = 0;
    for (;;) {
        // One record: six fields, each ended by "|"; the credentials are the fifth and sixth.
        size_t ends[6];
        size_t count = 0;
        for (size_t at = position; count < 6; ++count) {
            const size_t bar = answer.find('|', at);
            if (bar == std::string::npos) break;
            ends[count] = bar;
            at = bar + 1;
        }
        if (count < 6) break;
        masked.append(answer, position, ends[3] + 1 - position);
        for (size_t field = 4; field < 6; ++field) {
            const size_t start = ends[field - 1] + 1;
            if (ends[field] > start) masked += "***";
            masked += '|';
        }
        position = ends[5] + 1;
    }
    masked.append(answer, position, std::string::npos);
    return masked;
}

} // namespace ornivel
