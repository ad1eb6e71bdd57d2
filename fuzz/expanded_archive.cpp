// The expanded form of an archive, as a patch from the deployment server makes it, and an
// archive's directory: whatever the bytes, writing the archive a form stands for touches only
// its target, the entries found lie inside the archive, and an installed file's expanded form
// stays within its limit.
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "filelist/ExpandedArchive.h"

using namespace ornivel;
using namespace ornivel::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    // The listed size of the archive the form stands for.
    const size_t listed = (data[0] | size_t(data[1]) << 8) % 8192;
    const std::string_view bytes = bytesOf(data + 2, size - 2);

    uint64_t reached = 0;
    for (const auto& s : archiveStreams(bytes)) {
        FUZZ_CHECK(s.offset >= reached && s.packedSize <= bytes.size() - s.offset);
        reached = s.offset + s.packedSize;
    }
    // The bytes as the installed archive too: entries copied from there stay inside it.
    constexpr uint64_t limit = 1u << 20;
    std::string expanded;
    std::vector<ArchiveStream> entries;
    if (expandInstalled(bytes, limit, expanded, &entries) == Expansion::Expanded) FUZZ_CHECK(expanded.size() <= limit);

    std::vector<unsigned char> target(listed + 64, 0xA5);
    std::string detail;
    if (!deflateExpanded(bytes, bytes, entries, target.data(), listed, &detail)) FUZZ_CHECK(!detail.empty());
    for (size_t i = listed; i < target.size(); ++i) FUZZ_CHECK(target[i] == 0xA5);
    return 0;
}
