#include "sync/PatchRebuild.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#define ZSTD_STATIC_LINKING_ONLY  // ZSTD_d_stableOutBuffer: decode straight into the target
#include <zstd.h>
#include <zstd_errors.h>

namespace ornivel {

namespace {

struct DecoderFree {
    void operator()(ZSTD_DCtx* decoder) const { ZSTD_freeDCtx(decoder); }
};
using Decoder = std::unique_ptr<ZSTD_DCtx, DecoderFree>;

PatchOutcome fail(PatchOutcome outcome, std::string* detail, std::string text) {
    if (detail) *detail = std::move(text);
    return outcome;
}

PatchOutcome decoderFailure(size_t code, std::string* detail) {
    const std::string name = ZSTD_getErrorName(code);
    switch (ZSTD_getErrorCode(code)) {
    case ZSTD_error_checksum_wrong:
        return fail(PatchOutcome::Mismatch, detail, "the rebuilt bytes do not match the patch's checksum");
    case ZSTD_error_frameParameter_windowTooLarge:
        return fail(PatchOutcome::TooLarge, detail, "the patch's window exceeds the limit");
    case ZSTD_error_memory_allocation:
        return fail(PatchOutcome::NoMemory, detail, name);
    case ZSTD_error_dstSize_tooSmall:
        return fail(PatchOutcome::WrongSize, detail, "the patch makes a larger file than the listed one");
    default:
        return fail(PatchOutcome::Damaged, detail, name);
    }
}

} // namespace

long long PatchBytesReader::read(void* into, size_t capacity) {
    const size_t count = std::min(capacity, bytes_.size() - position_);
    if (count) std::memcpy(into, bytes_.data() + position_, count);
    position_ += count;
    return static_cast<long long>(count);
}

namespace {

PatchOutcome rebuildInto(std::string_view base, PatchReader& patch, unsigned char* target, size_t targetSize,
                         std::string* detail) {
    if (!patchSpanFits(base.size(), targetSize))
        return fail(PatchOutcome::TooLarge, detail, "the files exceed the limit for patches");
    Decoder decoder(ZSTD_createDCtx());
    if (!decoder) return fail(PatchOutcome::NoMemory, detail, "no memory for the decoder");
    ZSTD_DCtx* d = decoder.get();
    if (ZSTD_isError(ZSTD_DCtx_setParameter(d, ZSTD_d_windowLogMax, kPatchWindowLogMax)) ||
        ZSTD_isError(ZSTD_DCtx_setParameter(d, ZSTD_d_stableOutBuffer, 1)) ||
        ZSTD_isError(ZSTD_DCtx_refPrefix(d, base.data(), base.size())))
        return fail(PatchOutcome::NoMemory, detail, "the decoder refused its settings");

    std::vector<unsigned char> input(ZSTD_DStreamInSize());
    size_t filled = 0;
    // The frame header first: it must name the listed size, a window within the limit and
    // a checksum, before a byte is decoded.
    while (filled < ZSTD_FRAMEHEADERSIZE_MAX) {
        const long long got = patch.read(input.data() + filled, input.size() - filled);
        if (got < 0) return fail(PatchOutcome::ReadFailed, detail, "the patch could not be read");
        if (got == 0) break;
        filled += static_cast<size_t>(got);
    }
    ZSTD_frameHeader header;
    const size_t headerStatus = ZSTD_getFrameHeader(&header, input.data(), filled);
    if (ZSTD_isError(headerStatus) || headerStatus != 0 || header.frameType != ZSTD_frame)
        return fail(PatchOutcome::Damaged, detail, "the patch does not begin with a frame header");
    if (header.frameContentSize == ZSTD_CONTENTSIZE_UNKNOWN || !header.checksumFlag)
        return fail(PatchOutcome::Damaged, detail, "the patch names no size or carries no checksum");
    if (header.frameContentSize != targetSize)
        return fail(PatchOutcome::WrongSize, detail, "the patch makes a file of another size than the listed one");
    if (header.windowSize > kPatchSpanMax)
        return fail(PatchOutcome::TooLarge, detail, "the patch's window exceeds the limit");

    ZSTD_inBuffer in{input.data(), filled, 0};
    ZSTD_outBuffer out{target, targetSize, 0};
    for (;;) {
        const size_t inBefore = in.pos, outBefore = out.pos;
        const size_t status = ZSTD_decompressStream(d, &out, &in);
        if (ZSTD_isError(status)) return decoderFailure(status, detail);
        if (status == 0) break;  // the frame is complete and its checksum matched
        if (in.pos == in.size) {
            const long long got = patch.read(input.data(), input.size());
            if (got < 0) return fail(PatchOutcome::ReadFailed, detail, "the patch could not be read");
            if (got == 0) return fail(PatchOutcome::Damaged, detail, "the patch ends before its frame");
            in = ZSTD_inBuffer{input.data(), static_cast<size_t>(got), 0};
        } else if (in.pos == inBefore && out.pos == outBefore) {
            return fail(PatchOutcome::WrongSize, detail, "the patch makes a larger file than the listed one");
        }
    }
    if (out.pos != targetSize)
        return fail(PatchOutcome::WrongSize, detail, "the patch makes a smaller file than the listed one");
    if (in.pos != in.size) return fail(PatchOutcome::Damaged, detail, "the patch goes on after its frame");
    const long long rest = patch.read(input.data(), 1);
    if (rest < 0) return fail(PatchOutcome::ReadFailed, detail, "the patch could not be read");
    if (rest > 0) return fail(PatchOutcome::Damaged, detail, "the patch goes on after its frame");
    if (detail) detail->clear();
    return PatchOutcome::Rebuilt;
}

} // namespace

PatchOutcome rebuildFromPatch(std::string_view base, PatchReader& patch, unsigned char* target, size_t targetSize,
                              std::string* detail) {
    try {
        return rebuildInto(base, patch, target, targetSize, detail);
    } catch (const std::bad_alloc&) {
        return fail(PatchOutcome::NoMemory, detail, "no memory for the patch's input");
    }
}

const char* patchOutcomeText(PatchOutcome outcome) {
    switch (outcome) {
    case PatchOutcome::Rebuilt: return "rebuilt";
    case PatchOutcome::TooLarge: return "too large for a patch";
    case PatchOutcome::WrongSize: return "wrong size";
    case PatchOutcome::Mismatch: return "not made for the installed file";
    case PatchOutcome::Damaged: return "damaged patch";
    case PatchOutcome::ReadFailed: return "patch not readable";
    case PatchOutcome::NoMemory: return "no memory";
    case PatchOutcome::FileFailed: return "files not usable";
    }
    return "unknown";
}

} // namespace ornivel
