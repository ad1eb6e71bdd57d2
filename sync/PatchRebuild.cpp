#include "sync/PatchRebuild.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <new>
#include <vector>

#define ZSTD_STATIC_LINKING_ONLY  // ZSTD_d_stableOutBuffer: decode straight into the target
#include <zstd.h>
#include <zstd_errors.h>

#include "filelist/ExpandedArchive.h"

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

// Where a frame's content goes: chosen once its header has named the content's size.
struct FrameOutput {
    unsigned char* data = nullptr;
    size_t size = 0;
};
using OutputFor = std::function<PatchOutcome(uint64_t contentSize, FrameOutput& output, std::string* detail)>;

// Decodes the one zstd frame that begins at input[begin] (`filled` bytes of the patch read so
// far) with `reference` as its prefix, into the output `outputFor` gives for its size. Nothing
// may follow the frame.
PatchOutcome decodeFrame(std::string_view reference, PatchReader& patch, std::vector<unsigned char>& input,
                         size_t begin, size_t filled, const OutputFor& outputFor, std::string* detail) {
    Decoder decoder(ZSTD_createDCtx());
    if (!decoder) return fail(PatchOutcome::NoMemory, detail, "no memory for the decoder");
    ZSTD_DCtx* d = decoder.get();
    if (ZSTD_isError(ZSTD_DCtx_setParameter(d, ZSTD_d_windowLogMax, kPatchWindowLogMax)) ||
        ZSTD_isError(ZSTD_DCtx_setParameter(d, ZSTD_d_stableOutBuffer, 1)) ||
        ZSTD_isError(ZSTD_DCtx_refPrefix(d, reference.data(), reference.size())))
        return fail(PatchOutcome::NoMemory, detail, "the decoder refused its settings");

    // The frame header first: it must name the content's size, a window within the limit and
    // a checksum, before a byte is decoded.
    ZSTD_frameHeader header;
    const size_t headerStatus = ZSTD_getFrameHeader(&header, input.data() + begin, filled - begin);
    if (ZSTD_isError(headerStatus) || headerStatus != 0 || header.frameType != ZSTD_frame)
        return fail(PatchOutcome::Damaged, detail, "the patch does not begin with a frame header");
    if (header.frameContentSize == ZSTD_CONTENTSIZE_UNKNOWN || !header.checksumFlag)
        return fail(PatchOutcome::Damaged, detail, "the patch names no size or carries no checksum");
    FrameOutput output;
    const PatchOutcome accepted = outputFor(header.frameContentSize, output, detail);
    if (accepted != PatchOutcome::Rebuilt) return accepted;
    if (header.windowSize > kPatchSpanMax)
        return fail(PatchOutcome::TooLarge, detail, "the patch's window exceeds the limit");

    ZSTD_inBuffer in{input.data(), filled, begin};
    ZSTD_outBuffer out{output.data, output.size, 0};
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
    if (out.pos != output.size)
        return fail(PatchOutcome::WrongSize, detail, "the patch makes a smaller file than the listed one");
    if (in.pos != in.size) return fail(PatchOutcome::Damaged, detail, "the patch goes on after its frame");
    const long long rest = patch.read(input.data(), 1);
    if (rest < 0) return fail(PatchOutcome::ReadFailed, detail, "the patch could not be read");
    if (rest > 0) return fail(PatchOutcome::Damaged, detail, "the patch goes on after its frame");
    return PatchOutcome::Rebuilt;
}

// A patch of an archive: the new release's expanded form is decoded against the installed
// file's, and its entries deflated again into the target.
PatchOutcome rebuildArchive(std::string_view base, PatchReader& patch, std::vector<unsigned char>& input,
                            size_t filled, unsigned char* target, size_t targetSize, std::string* detail) {
    std::string reference;
    std::vector<ArchiveStream> installedEntries;
    switch (expandInstalled(base, kArchivePatchSpanMax, reference, &installedEntries)) {
    case Expansion::Expanded: break;
    case Expansion::NoArchive: return fail(PatchOutcome::Mismatch, detail, "the installed file is no archive");
    case Expansion::TooLarge: return fail(PatchOutcome::TooLarge, detail, "the installed archive exceeds the limit");
    }
    std::vector<unsigned char> expanded;
    const OutputFor outputFor = [&](uint64_t contentSize, FrameOutput& output, std::string* why) {
        if (contentSize > kArchivePatchSpanMax - reference.size())
            return fail(PatchOutcome::TooLarge, why, "the archive's expanded form exceeds the limit");
        expanded.resize(static_cast<size_t>(contentSize));
        output = FrameOutput{expanded.data(), expanded.size()};
        return PatchOutcome::Rebuilt;
    };
    const PatchOutcome decoded =
        decodeFrame(reference, patch, input, sizeof kArchivePatchMagic, filled, outputFor, detail);
    if (decoded != PatchOutcome::Rebuilt) return decoded;
    reference = std::string();  // the installed file's form is no longer needed
    const std::string_view form(reinterpret_cast<const char*>(expanded.data()), expanded.size());
    if (!deflateExpanded(form, base, installedEntries, target, targetSize, detail)) return PatchOutcome::Mismatch;
    return PatchOutcome::Rebuilt;
}

PatchOutcome rebuildInto(std::string_view base, PatchReader& patch, unsigned char* target, size_t targetSize,
                         std::string* detail) {
    if (!patchSpanFits(base.size(), targetSize))
        return fail(PatchOutcome::TooLarge, detail, "the files exceed the limit for patches");
    std::vector<unsigned char> input(ZSTD_DStreamInSize());
    size_t filled = 0;
    while (filled < sizeof kArchivePatchMagic + ZSTD_FRAMEHEADERSIZE_MAX) {
        const long long got = patch.read(input.data() + filled, input.size() - filled);
        if (got < 0) return fail(PatchOutcome::ReadFailed, detail, "the patch could not be read");
        if (got == 0) break;
        filled += static_cast<size_t>(got);
    }
    PatchOutcome outcome;
    if (filled >= sizeof kArchivePatchMagic &&
        std::memcmp(input.data(), kArchivePatchMagic, sizeof kArchivePatchMagic) == 0) {
        outcome = rebuildArchive(base, patch, input, filled, target, targetSize, detail);
    } else {
        const OutputFor outputFor = [&](uint64_t contentSize, FrameOutput& output, std::string* why) {
            if (contentSize != targetSize)
                return fail(PatchOutcome::WrongSize, why, "the patch makes a file of another size than the listed one");
            output = FrameOutput{target, targetSize};
            return PatchOutcome::Rebuilt;
        };
        outcome = decodeFrame(base, patch, input, 0, filled, outputFor, detail);
    }
    if (outcome == PatchOutcome::Rebuilt && detail) detail->clear();
    return outcome;
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
