#pragma once
// Binary patches from an older version of a file to its newest: one zstd frame compressed
// with the older file as its reference prefix and long-distance matching, its window sized
// to the two files, naming the new file's size and carrying zstd's checksum of it. The
// launcher rebuilds the new file from the one it has installed (sync/PatchRebuild.h).
// Between two releases of a ZIP archive (a JAR), whose changed entries differ throughout
// their deflated bytes, the patch is made between the archives' expanded forms instead
// (filelist/ExpandedArchive.h) where that gives the smaller patch.
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace ornivel::publish {

// The launcher holds both files as views of its address space; together they must fit into
// 2^28 bytes (the launcher's limit, sync/PatchRebuild.h). Larger files travel whole.
constexpr unsigned kPatchWindowLogMax = 28;
constexpr uint64_t kPatchSpanMax = uint64_t(1) << kPatchWindowLogMax;
// Smaller files travel whole: a patch would save little and cost a request.
constexpr uint64_t kPatchMinimumSize = 64 * 1024;
// zstd's level (a lazy search) with a hash table that reaches back over the whole older file
// (up to the maximum below): long-distance matching finds the long stretches the releases
// share, the hash table the shorter ones it passes over. Patches of JARs come out 2-5 % smaller
// than with zstd's fast levels (whose tables reach back a few MB), at well under 0.1 s per MB.
// The optimal parser (levels 19 and up) saves 1 % more at five times the time and more memory,
// which large files cannot afford.
constexpr int kPatchLevel = 12;
constexpr int kPatchMinMatch = 4;
// 2^25 entries: 192 MiB of tables, which leaves the 32-bit publisher room for the two files.
constexpr unsigned kPatchHashLogMax = 25;

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
// The encoder's hash table: an entry for each position of the older file, at most 2^kPatchHashLogMax.
unsigned patchHashLog(uint64_t baseSize);

// A patch that rebuilds `target` from `base`.
PatchResult makePatch(std::string_view base, std::string_view target, std::string& patch, std::string& error,
                      int level = kPatchLevel);

// Where the deployment serves its patches, below its files: "<folder>/<new SHA-256>/<older
// SHA-256>" rebuilds the file whose SHA-256 is the first from the one whose SHA-256 is the
// second. A client folder may not use the name.
extern const char* const kPatchFolder;
std::string patchPath(const std::string& newSha256, const std::string& olderSha256);
// Whether a published path ("/" between components) lies in the patch folder (in any letter case).
bool inPatchFolder(const std::string& path);

// The older versions kept for each published path ("/" between components): their SHA-256,
// newest first. The files themselves are kept in the publisher's own folder under their
// SHA-256.
using KeptVersions = std::map<std::string, std::vector<std::string>>;
std::string keptText(const KeptVersions& kept);
// An unreadable text gives no kept versions (the next publication keeps from then on).
KeptVersions parseKept(const std::string& text);
// The older versions of a file after a publication: `replaced` (the version it had, empty
// when none or unchanged) before those kept so far, without `current` and repeats, at most `keep`.
std::vector<std::string> olderVersions(const std::string& replaced, const std::vector<std::string>& keptBefore,
                                       const std::string& current, size_t keep);

} // namespace ornivel::publish
