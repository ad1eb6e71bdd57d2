// Rebuilding a file from a patch the deployment server sent: whatever the bytes, the decoder
// writes only into the target it is given, and whether the patch rebuilds, and the bytes it
// rebuilds, are the same whatever pieces the patch arrives in (why a damaged one fails may
// differ: zstd checks a frame it has whole in one step). A patch that rebuilds is one frame
// naming the target's size.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include <zstd.h>

#include "FuzzSupport.h"
#include "sync/PatchRebuild.h"

using namespace ornivel;
using namespace ornivel::fuzz;

namespace {

// The installed file the patches start from: 4 KiB of a fixed pattern (the seeds are made from
// the same bytes).
const std::string& base() {
    static const std::string bytes = [] {
        std::string b(4096, '\0');
        for (size_t i = 0; i < b.size(); ++i) b[i] = static_cast<char>((i * 31) % 251);
        return b;
    }();
    return bytes;
}

// Hands the patch out in pieces of a given size.
class PieceReader : public PatchReader {
public:
    PieceReader(std::string_view bytes, size_t piece) : bytes_(bytes), piece_(piece) {}
    long long read(void* into, size_t capacity) override {
        const size_t count = std::min({capacity, piece_, bytes_.size() - at_});
        if (count) std::memcpy(into, bytes_.data() + at_, count);
        at_ += count;
        return static_cast<long long>(count);
    }

private:
    std::string_view bytes_;
    size_t piece_, at_ = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const size_t piece = 1 + data[0] % 97;
    const std::string_view patch = bytesOf(data + 1, size - 1);
    // The listed size: the one the frame names where it names a small one, else one of the
    // input's choosing.
    unsigned long long listed = ZSTD_getFrameContentSize(patch.data(), patch.size());
    if (listed == ZSTD_CONTENTSIZE_UNKNOWN || listed == ZSTD_CONTENTSIZE_ERROR) listed = data[0] * 64ull;
    if (listed > (1u << 20)) return 0;

    std::vector<unsigned char> whole(listed + 64, 0xA5), pieces(listed + 64, 0xA5);
    PieceReader all(patch, patch.size() + 1), parts(patch, piece);
    const PatchOutcome a = rebuildFromPatch(base(), all, whole.data(), listed);
    const PatchOutcome b = rebuildFromPatch(base(), parts, pieces.data(), listed);
    FUZZ_CHECK((a == PatchOutcome::Rebuilt) == (b == PatchOutcome::Rebuilt));
    // Nothing beyond the target is touched.
    for (size_t i = listed; i < whole.size(); ++i) FUZZ_CHECK(whole[i] == 0xA5 && pieces[i] == 0xA5);
    if (a == PatchOutcome::Rebuilt) {
        FUZZ_CHECK(std::memcmp(whole.data(), pieces.data(), listed) == 0);
        FUZZ_CHECK(ZSTD_findFrameCompressedSize(patch.data(), patch.size()) == patch.size());
        FUZZ_CHECK(ZSTD_getFrameContentSize(patch.data(), patch.size()) == listed);
    }
    return 0;
}
