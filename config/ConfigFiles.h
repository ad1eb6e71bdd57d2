#pragma once
// The parameter files of the installation folder: system properties, JVM options, the
// heap size and the login server list.
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "config/ServerInfo.h"

namespace ornivel {

constexpr int kDefaultHeapSizeMb = 160;

// name=value with exactly one "="; nothing is trimmed. Other lines give nothing.
std::optional<std::pair<std::string, std::string>> splitPropertyLine(const std::string& line);
// The heap size written in "heapsize.param": the first signed decimal number; only white
// space gives 160; text that is not a number gives 0.
int heapSizeFromText(const std::string& text);
// The heap size without that file, from the physical memory as a 32-bit byte count.
int heapSizeFromPhysicalMemory(uint32_t totalPhysicalBytes);
// A 32-bit process sees at most 4 GiB - 1 as its physical memory; the 64-bit build caps
// the count the same way so that both builds give the same heap size.
uint32_t physicalMemory32(uint64_t totalPhysicalBytes);
// Whether a "server.ini" line is empty or only white space (the C isspace class).
bool isBlankLine(const std::string& line);

// Lines of an 8-bit text file read in text mode (CR LF read as LF), without their line
// feeds; nullopt when the file cannot be opened.
std::optional<std::vector<std::string>> readTextLines(const std::wstring& path);

using Property = std::pair<std::wstring, std::wstring>;

// The name=value lines of the properties file in their order (a later one of the same name
// wins where they are applied); none when the file is missing.
std::vector<Property> readPropertiesFile(const std::wstring& path = L"system\\config\\system.properties");
// Every line of the JVM options file, empty ones too, in order.
std::vector<std::wstring> readJvmOptionsFile(const std::wstring& path = L"system\\config\\jvm.properties");
int readHeapSizeMb(const std::wstring& path = L"system/config/heapsize.param");
std::vector<ServerInfo> readServerList(const std::wstring& path = L"system/config/server.ini");

} // namespace ornivel
