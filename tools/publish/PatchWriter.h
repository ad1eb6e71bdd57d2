#pragma once
// Binary patches from an older version of a file to its newest: one zstd frame compressed
// with the older file as its reference prefix and long-distance matching, its window sized
// to the two files, naming the new file's size and carrying zstd's checksum of it. The
// launcher rebuilds the new file from the one it has installed (sync/PatchRebuild.h).
#include <cstdint>
#include <string>
#include <string_view>

namespace ornivel::publish {

// The launcher holds both files as views of its address space; together they must fit into
// 2^28 bytes (the launcher's limit, sync/PatchRebuild.h). Larger files travel whole.
constexpr unsigned kPatchWindowLogMax = 28;
constexpr uint64_t kPatchSpanMax = uint64_t(1) << kPatchWindowLogMax;
// Smaller files travel whole: a patch would save little and cost a request.
constexpr uint64_t kPatchMinimumSize = 64 * 1024;
// zstd's level: long-distance matching finds what the releases share; higher levels take
// many times as long for a few per cent less.
constexpr int kPatchLevel = 3;

enum class PatchResult {
    Written,     // `patch` holds the patch
    NotWorthIt,  // the new file is small, or the patch would be more than 3/4 of it
    TooLarge,    // the two files exceed the span above
    Failed,      // zstd failed; `error` says why
};

// Whether a file of targetSize bytes may get a patch from one of baseSize bytes.
bool patchApplies(uint64_t baseSize, uint64_t targetSize);
// The window a patch needs: the two files together, rounded up to a power of two.
unsigned patchWindowLog(uint64_t baseSize, uint64_t targetSize);

// A patch that rebuilds `target` from `base`.
PatchResult makePatch(std::string_view base, std::string_view target, std::string& patch, std::string& error,
                      int level = kPatchLevel);

} // namespace ornivel::publish
