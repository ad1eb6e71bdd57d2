#include "PublishState.h"

#include <cstdlib>
#include <vector>

namespace ornivel::publish {

namespace {

const char* const kHeader = "ornivel-publish state 1\n";

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
        text += file.checksum + "\t" + std::to_string(file.stamp.size) + "\t" + std::to_string(file.stamp.seconds) + "\t" +
                std::to_string(file.stamp.nanoseconds) + "\t" + path + "\n";
    }
    return text;
}

PublishState parseState(const std::string& text) {
    PublishState state;
    if (text.rfind(kHeader, 0) != 0) return {};
    size_t start = std::string(kHeader).size();
    while (start < text.size()) {
        const size_t end = text.find('\n', start);
        if (end == std::string::npos) return {};
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        std::vector<std::string> fields;
        size_t from = 0;
        for (int i = 0; i < 4; ++i) {
            const size_t tab = line.find('\t', from);
            if (tab == std::string::npos) return {};
            fields.push_back(line.substr(from, tab - from));
            from = tab + 1;
        }
        fields.push_back(line.substr(from));
        long long size, seconds, nanoseconds;
        if (!isChecksum(fields[0]) || !readNumber(fields[1], size) || size < 0 || !readNumber(fields[2], seconds) ||
            !readNumber(fields[3], nanoseconds) || nanoseconds < 0 || nanoseconds >= 1000000000 || fields[4].empty())
            return {};
        PublishedFile& file = state[fields[4]];
        file.checksum = fields[0];
        file.stamp.size = static_cast<uint64_t>(size);
        file.stamp.seconds = seconds;
        file.stamp.nanoseconds = static_cast<uint32_t>(nanoseconds);
    }
    return state;
}

} // namespace ornivel::publish
