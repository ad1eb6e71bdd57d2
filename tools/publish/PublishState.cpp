#include "PublishState.h"

#include <cstdlib>
#include <vector>

#include "filelist/ListSignature.h"

namespace ornivel::publish {

namespace {

// Version 2 adds the SHA-256 after the MD5; a version 1 state is read without it.
const char* const kHeader = "ornivel-publish state 2\n";
const char* const kHeaderVersion1 = "ornivel-publish state 1\n";

bool isChecksum(const std::string& text) {
    if (text.size() != 32) return false;
    for (char c : text)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    return true;
}

bool readNumber(const std::string& text, long long& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    value = std::strtoll(text.c_str(), &end, 10);
    return end && *end == '\0';
}

} // namespace

std::string stateText(const PublishState& state) {
    std::string text = kHeader;
    for (const auto& [path, file] : state) {
        text += file.checksum + "\t" + file.sha256 + "\t" + std::to_string(file.stamp.size) + "\t" + std::to_string(file.stamp.seconds) + "\t" +
                std::to_string(file.stamp.nanoseconds) + "\t" + path + "\n";
    }
    return text;
}

PublishState parseState(const std::string& text) {
    PublishState state;
    const bool version1 = text.rfind(kHeaderVersion1, 0) == 0;
    if (!version1 && text.rfind(kHeader, 0) != 0) return {};
    const size_t fieldCount = version1 ? 5 : 6;
    size_t start = std::string(kHeader).size();
    while (start < text.size()) {
        const size_t end = text.find('\n', start);
        if (end == std::string::npos) return {};
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        std::vector<std::string> fields;
        size_t from = 0;
        for (size_t i = 0; i + 1 < fieldCount; ++i) {
            const size_t tab = line.find('\t', from);
            if (tab == std::string::npos) return {};
            fields.push_back(line.substr(from, tab - from));
            from = tab + 1;
        }
        fields.push_back(line.substr(from));
        std::string sha256;
        if (!version1) {
            sha256 = fields[1];
            fields.erase(fields.begin() + 1);
            if (!sha256.empty() && !isSha256Hex(sha256)) return {};
        }
        long long size, seconds, nanoseconds;
        if (!isChecksum(fields[0]) || !readNumber(fields[1], size) || size < 0 || !readNumber(fields[2], seconds) ||
            !readNumber(fields[3], nanoseconds) || nanoseconds < 0 || nanoseconds >= 1000000000 || fields[4].empty())
            return {};
        PublishedFile& file = state[fields[4]];
        file.checksum = fields[0];
        file.sha256 = sha256;
        file.stamp.size = static_cast<uint64_t>(size);
        file.stamp.seconds = seconds;
        file.stamp.nanoseconds = static_cast<uint32_t>(nanoseconds);
    }
    return state;
}

} // namespace ornivel::publish
