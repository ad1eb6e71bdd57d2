#pragma once
// Rebuilding a changed file from the installed one and a binary patch (a zstd frame written
// with the installed file as its reference prefix). Plain logic on memory, no system calls:
// the caller maps the installed file and the file being written (or holds them in memory)
// and hands the patch in pieces, so memory beyond those two views stays a few hundred
// kilobytes whatever the file's size. A patch of an archive (filelist/ExpandedArchive.h) is
// decoded between the two releases' expanded forms, which are held in memory, within
// kArchivePatchSpanMax.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace ornivel {

// Patches exist only where the installed file and the new one together fit into 2^28 bytes
// (256 MiB): both are held as views of the files, which a 32-bit process must find room for
// in its address space. Larger files travel whole. ornivel-publish applies the same limit.
constexpr unsigned kPatchWindowLogMax = 28;
constexpr uint64_t kPatchSpanMax = uint64_t(1) << kPatchWindowLogMax;

// Whether a file of targetSize bytes may be rebuilt from one of baseSize bytes.
inline bool patchSpanFits(uint64_t baseSize, uint64_t targetSize) {
    return baseSize <= kPatchSpanMax && targetSize <= kPatchSpanMax - baseSize;
}

enum class PatchOutcome {
    Rebuilt,      // every byte of the new file is written and zstd's checksum of it matched
    TooLarge,     // the files or the patch's window exceed the limit above
    WrongSize,    // the patch makes a file of another size than the one listed
    Mismatch,     // the rebuilt bytes are not the ones the patch was made for (another base)
    Damaged,      // the patch is not a whole, valid zstd frame
    ReadFailed,   // the patch could not be read
    NoMemory,     // the decoder could not be made
    FileFailed,   // a file could not be opened, sized or mapped (rebuildFileFromPatch)
};

// Reads the patch piece by piece.
class PatchReader {
public:
    virtual ~PatchReader() = default;
    // Fills up to `capacity` bytes; returns how many, 0 at the patch's end, -1 on an error.
    virtual long long read(void* into, size_t capacity) = 0;
};

// A patch held in memory.
class PatchBytesReader : public PatchReader {
public:
    explicit PatchBytesReader(std::string_view bytes) : bytes_(bytes) {}
    long long read(void* into, size_t capacity) override;

private:
    std::string_view bytes_;
    size_t position_ = 0;
};

// Rebuilds the new file into `target` (exactly `targetSize` bytes, which the list names)
// from `base`, the installed file's bytes, and the patch. The patch must be one zstd frame
// naming its content size and carrying its checksum; anything after it is damage. On any
// outcome but Rebuilt the target's bytes are undefined; `detail`, when given, receives a
// short English reason for the log.
PatchOutcome rebuildFromPatch(std::string_view base, PatchReader& patch, unsigned char* target, size_t targetSize,
                              std::string* detail = nullptr);

// A short English text for an outcome, for log lines.
const char* patchOutcomeText(PatchOutcome outcome);

// Windows side (PatchRebuildWin32.cpp). Rebuilds `targetPath` (made anew, exactly
// `targetSize` bytes) from the installed file `basePath` and the patch file `patchPath`:
// the installed file and the target are mapped views, the patch is read in pieces. Files in
// a network folder are not rebuilt (a mapped view of a file on a share fails the process when
// the share goes away): FileFailed. On any outcome but Rebuilt no target remains; `detail`
// receives the reason.
PatchOutcome rebuildFileFromPatch(const std::wstring& basePath, const std::wstring& patchPath,
                                  const std::wstring& targetPath, uint64_t targetSize, std::string* detail = nullptr);

} // namespace ornivel
