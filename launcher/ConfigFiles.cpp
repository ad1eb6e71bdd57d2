#include "launcher/ConfigFiles.h"

#include <windows.h>
#include <share.h>
#include <algorithm>
#include <cctype>
#include <cstdio>

#include "common/Text.h"
#include "jvm/ThreadStartVM.h"

namespace ornivel {

std::optional<std::vector<std::string>> readTextLines(const std::wstring& path) {
    FILE* file = _wfsopen(path.c_str(), L"rt", _SH_DENYNO);
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
    FILE* file = _wfsopen(path.c_str(), L"rt", _SH_DENYNO);
    if (file) {
        std::string text;
        char chunk[256];
        // Only the start of the file matters: white space and one number.
        while (text.size() < 4096 && fgets(chunk, sizeof chunk, file)) text += chunk;
        fclose(file);
        return heapSizeFromText(text);
    }
    MEMORYSTATUS status{};
    status.dwLength = sizeof status;
    GlobalMemoryStatus(&status);
    return heapSizeFromPhysicalMemory(physicalMemory32(status.dwTotalPhys));
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
