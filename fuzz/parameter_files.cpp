// "system.properties", "jvm.properties" and "heapsize.param" read from the same text: a
// property line has exactly one "=" and splits without loss, every JVM option line reaches
// the option list in order, and the heap size is the leading number (160 for white space).
#include <algorithm>
#include <cctype>
#include <climits>
#include <map>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "jvm/JvmOptions.h"
#include "config/ConfigFiles.h"

using namespace ornivel;
using namespace ornivel::fuzz;

namespace {

// The heap size read another way: at most 32 characters after the white space, an optional
// sign and the digits, clamped to 32 bits.
int expectedHeapSize(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    if (i == text.size()) return 160;
    const std::string start = text.substr(i, 32);
    size_t k = 0;
    const bool negative = k < start.size() && start[k] == '-';
    if (k < start.size() && (start[k] == '+' || start[k] == '-')) ++k;
    long long value = 0;
    for (; k < start.size() && start[k] >= '0' && start[k] <= '9'; ++k)
        value = std::min(value * 10 + (start[k] - '0'), 1LL << 40);
    value = negative ? -value : value;
    return static_cast<int>(std::max<long long>(INT_MIN, std::min<long long>(INT_MAX, value)));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(bytesOf(data, size));
    const std::vector<std::string> lines = textLines(text);

    std::map<std::wstring, std::wstring> properties;
    std::vector<std::wstring> options;
    for (const std::string& line : lines) {
        const auto property = splitPropertyLine(line);
        FUZZ_CHECK(property.has_value() == (std::count(line.begin(), line.end(), '=') == 1));
        if (property) {
            FUZZ_CHECK(property->first + "=" + property->second == line);
            properties[widenBytes(property->first)] = widenBytes(property->second);
        }
        options.push_back(widenBytes(line));
    }

    const int heap = heapSizeFromText(text);
    FUZZ_CHECK(heap == expectedHeapSize(text));

    const std::vector<std::wstring> built = buildJvmOptions(L"a.jar", heap, options, properties);
    constexpr size_t kFixed = 6;
    FUZZ_CHECK(built.size() == kFixed + options.size() + properties.size());
    FUZZ_CHECK(built[1] == L"-Xmx" + std::to_wstring(heap) + L"m");
    FUZZ_CHECK(std::equal(options.begin(), options.end(), built.begin() + kFixed));
    auto property = properties.begin();
    for (size_t i = kFixed + options.size(); i < built.size(); ++i, ++property)
        FUZZ_CHECK(built[i] == L"-D" + property->first + L"=" + property->second);
    return 0;
}
