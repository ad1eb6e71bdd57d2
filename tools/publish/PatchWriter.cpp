#include "PatchWriter.h"

#include <memory>

#include <zstd.h>

namespace ornivel::publish {

namespace {

struct EncoderFree {
    void operator()(ZSTD_CCtx* encoder) const { ZSTD_freeCCtx(encoder); }
};
using Encoder = std::unique_ptr<ZSTD_CCtx, EncoderFree>;

bool set(ZSTD_CCtx* encoder, ZSTD_cParameter parameter, int value, std::string& error) {
    const size_t status = ZSTD_CCtx_setParameter(encoder, parameter, value);
    if (!ZSTD_isError(status)) return true;
    error = std::string("zstd refused a setting: ") + ZSTD_getErrorName(status);
    return false;
}

} // namespace

bool patchApplies(uint64_t baseSize, uint64_t targetSize) {
    return targetSize >= kPatchMinimumSize && baseSize <= kPatchSpanMax && targetSize <= kPatchSpanMax - baseSize;
}

unsigned patchWindowLog(uint64_t baseSize, uint64_t targetSize) {
    const uint64_t span = baseSize + targetSize;
    unsigned log = 10;  // zstd's smallest window
    while (log < 63 && (uint64_t(1) << log) < span) ++log;
    return log;
}

PatchResult makePatch(std::string_view base, std::string_view target, std::string& patch, std::string& error,
                      int level) {
    patch.clear();
    if (base.size() > kPatchSpanMax || target.size() > kPatchSpanMax - base.size()) return PatchResult::TooLarge;
    if (target.size() < kPatchMinimumSize) return PatchResult::NotWorthIt;
    Encoder encoder(ZSTD_createCCtx());
    if (!encoder) {
        error = "no memory for zstd";
        return PatchResult::Failed;
    }
    ZSTD_CCtx* e = encoder.get();
    const int windowLog = static_cast<int>(patchWindowLog(base.size(), target.size()));
    if (!set(e, ZSTD_c_compressionLevel, level, error) || !set(e, ZSTD_c_windowLog, windowLog, error) ||
        !set(e, ZSTD_c_enableLongDistanceMatching, 1, error) || !set(e, ZSTD_c_checksumFlag, 1, error) ||
        !set(e, ZSTD_c_contentSizeFlag, 1, error))
        return PatchResult::Failed;
    size_t status = ZSTD_CCtx_setPledgedSrcSize(e, target.size());
    if (!ZSTD_isError(status)) status = ZSTD_CCtx_refPrefix(e, base.data(), base.size());
    if (ZSTD_isError(status)) {
        error = std::string("zstd refused the older file: ") + ZSTD_getErrorName(status);
        return PatchResult::Failed;
    }

    // Output in pieces, given up as soon as the patch would not be worth sending.
    const size_t worthIt = target.size() / 4 * 3;
    const size_t piece = ZSTD_CStreamOutSize();
    ZSTD_inBuffer in{target.data(), target.size(), 0};
    for (;;) {
        const size_t used = patch.size();
        patch.resize(used + piece);
        ZSTD_outBuffer out{patch.data() + used, piece, 0};
        const size_t remaining = ZSTD_compressStream2(e, &out, &in, ZSTD_e_end);
        patch.resize(used + out.pos);
        if (ZSTD_isError(remaining)) {
            error = std::string("zstd failed: ") + ZSTD_getErrorName(remaining);
            patch.clear();
            return PatchResult::Failed;
        }
        if (patch.size() >= worthIt) {
            patch.clear();
            return PatchResult::NotWorthIt;
        }
        if (remaining == 0) break;
    }
    patch.shrink_to_fit();
    return PatchResult::Written;
}

} // namespace ornivel::publish
