// The text side of the parameter files (see ConfigFiles.h): lines and numbers as read, no
// file access.
#include <algorithm>
#include <cctype>

#include "common/TextScan.h"
#include "config/ConfigFiles.h"

namespace ornivel {

std::optional<std::pair<std::string, std::string>> splitPropertyLine(const std::string& line) {
    size_t eq = line.find('=');
    if (eq == std::string::npos || line.find('=', eq + 1) != std::string::npos) return std::nullopt;
    return std::make_pair(line.substr(0, eq), line.substr(eq + 1));
}

int heapSizeFromText(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    if (i == text.size()) return kDefaultHeapSizeMb;
    return clampedLeadingInt(std::wstring(text.begin() + i, text.begin() + std::min(text.size(), i + 32)), 0, Spaces::Wide);
}

int heapSizeFromPhysicalMemory(uint32_t totalPhysicalBytes) {
    uint32_t megabytes = totalPhysicalBytes >> 20;
    int heap = kDefaultHeapSizeMb;
    if (megabytes > 512) heap += static_cast<int>((megabytes - 512) * 0.1);
    return heap;
}

uint32_t physicalMemory32(uint64_t totalPhysicalBytes) {
    return totalPhysicalBytes > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<uint32_t>(totalPhysicalBytes);
}

bool isBlankLine(const std::string& line) {
    for (char c : line)
        if (!std::isspace(static_cast<unsigned char>(c))) return false;
    return true;
}

} // namespace ornivel
