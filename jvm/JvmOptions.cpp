#include "jvm/JvmOptions.h"

namespace ornivel {

namespace {
const int kInitialHeapMb = 64;
}

std::vector<std::wstring> buildJvmOptions(const std::wstring& classPath, int heapSizeMb,
                                          const std::vector<std::wstring>& rawOptions,
                                          const std::map<std::wstring, std::wstring>& systemProperties) {
    std::vector<std::wstring> options;
    options.reserve(6 + rawOptions.size() + systemProperties.size());
    options.push_back(L"-Djava.class.path=" + classPath);
    options.push_back(L"-Xmx" + std::to_wstring(heapSizeMb) + L"m");
    options.push_back(L"-XX:+UseConcMarkSweepGC");
    options.push_back(L"-XX:+UseParNewGC");
    // An initial heap larger than the maximum makes the runtime end the whole process during
    // its creation (no result, no report), so a heap below 64 MB is also the initial heap.
    const int initialHeapMb = heapSizeMb > 0 && heapSizeMb < kInitialHeapMb ? heapSizeMb : kInitialHeapMb;
    options.push_back(L"-Xms" + std::to_wstring(initialHeapMb) + L"m");
    options.push_back(L"-XX:+HeapDumpOnOutOfMemoryError");
    options.insert(options.end(), rawOptions.begin(), rawOptions.end());
    for (const auto& [name, value] : systemProperties) options.push_back(L"-D" + name + L"=" + value);
    return options;
}

} // namespace ornivel
