#pragma once
// The option list the Java virtual machine is created with.
#include <map>
#include <string>
#include <vector>

namespace ornivel {

// In this order: the class path, the maximum heap, the two collector options, the initial
// heap of 64 MB (the maximum heap when that is smaller), the heap dump on out-of-memory, every raw option in list order, then one
// "-Dname=value" per system property in ascending order of the name (code unit by code
// unit, the order of the map).
std::vector<std::wstring> buildJvmOptions(const std::wstring& classPath, int heapSizeMb,
                                          const std::vector<std::wstring>& rawOptions,
                                          const std::map<std::wstring, std::wstring>& systemProperties);

} // namespace ornivel
