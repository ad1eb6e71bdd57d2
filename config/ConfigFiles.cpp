#include "config/ConfigFiles.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "common/FileAccess.h"
#include "common/Process.h"
#include "common/Text.h"

namespace ornivel {

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

std::vector<Property> readPropertiesFile(const std::wstring& path) {
    std::vector<Property> properties;
    auto lines = readTextLines(path);
    if (!lines) return properties;
    for (const std::string& line : *lines) {
        if (auto property = splitPropertyLine(line))
            properties.emplace_back(fromAnsi(property->first), fromAnsi(property->second));
    }
    return properties;
}

std::vector<std::wstring> readJvmOptionsFile(const std::wstring& path) {
    std::vector<std::wstring> options;
    auto lines = readTextLines(path);
    if (!lines) return options;
    for (const std::string& line : *lines) options.push_back(fromAnsi(line));
    return options;
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
