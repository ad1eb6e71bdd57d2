#include "jvm/JvmOptions.h"

namespace ornivel {

std::vector<std::wstring> buildJvmOptions(const std::wstring& classPath, int heapSizeMb,
                                          const std::vector<std::wstring>& rawOptions,
                                          const std::map<std::wstring, std::wstring>& systemProperties) {
    std::vector<std::wstring> options;
    options.reserve(6 + rawOptions.size() + systemProperties.size());
    options.push_back(L"-Djava.class.path=" + classPath);
    options.push_back(L"-Xmx" + std::to_wstring(heapSizeMb) + L"m");
    options.push_back(L"-XX:+UseConcMarkSweepGC");
    options.push_back(L"-XX:+UseParNewGC");
    options.push_back(L"-Xms64m");
    options.push_back(L"-XX:+HeapDumpOnOutOfMemoryError");
    options.insert(options.end(), rawOptions.begin(), rawOptions.end());
    for (const auto& [name, value] : systemProperties) options.push_back(L"-D" + name + L"=" + value);
    return options;
}

} // namespace ornivel
