#include "launcher/ConfigFiles.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "common/FileAccess.h"
#include "common/Process.h"
#include "common/Text.h"
#include "jvm/ThreadStartVM.h"

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
    return leadingInt(std::wstring(text.begin() + i, text.begin() + std::min(text.size(), i + 32)));
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

std::optional<std::vector<std::string>> readTextLines(const std::wstring& path) {
    FILE* file = openSharedFile(path, L"rt");
    if (!file) return std::nullopt;
    std::vector<std::string> lines;
    std::string line;
    char chunk[4096];
    bool pending = false;
    while (fgets(chunk, sizeof chunk, file)) {
        line += chunk;
        pending = true;
        if (!line.empty() && line.back() == '\n') {
            line.pop_back();
#ifndef _WIN32
            // Text mode reads CR LF as LF on Windows only.
            if (!line.empty() && line.back() == '\r') line.pop_back();
#endif
            lines.push_back(std::move(line));
            line.clear();
            pending = false;
        }
    }
    if (pending) lines.push_back(std::move(line));
    fclose(file);
    return lines;
}

void readPropertiesFile(ThreadStartVM& vm, const std::wstring& path) {
    auto lines = readTextLines(path);
    if (!lines) return;
    for (const std::string& line : *lines) {
        if (auto property = splitPropertyLine(line)) vm.setSystemProperty(fromAnsi(property->first), fromAnsi(property->second));
    }
}

void readJvmOptionsFile(ThreadStartVM& vm, const std::wstring& path) {
    auto lines = readTextLines(path);
    if (!lines) return;
    for (const std::string& line : *lines) vm.addJvmOption(fromAnsi(line));
}

int readHeapSizeMb(const std::wstring& path) {
    FILE* file = openSharedFile(path, L"rt");
    if (file) {
        std::string text;
        char chunk[256];
        // Only the start of the file matters: white space and one number.
        while (text.size() < 4096 && fgets(chunk, sizeof chunk, file)) text += chunk;
        fclose(file);
        return heapSizeFromText(text);
    }
    return heapSizeFromPhysicalMemory(physicalMemory32(totalPhysicalMemory()));
}

std::vector<ServerInfo> readServerList(const std::wstring& path) {
    std::vector<ServerInfo> servers;
    auto lines = readTextLines(path);
    if (!lines) return servers;
    for (const std::string& line : *lines) {
        if (isBlankLine(line)) continue;
        servers.push_back(ServerInfo::fromLine(fromAnsi(line)));
    }
    return servers;
}

} // namespace ornivel
