#pragma once
// The expanded form of a ZIP archive (a JAR): the archive with the deflated bytes of its
// entries replaced by the bytes they inflate to, followed by the plan that says where they
// were. A release changes a few classes of a JAR, but a changed entry's deflated bytes differ
// throughout; expanded, two releases differ only where their classes do. ornivel-publish
// makes the patches of archives between expanded forms, and the launcher deflates the entries
// again, with the level ornivel-publish found gives exactly the archive's bytes. Both sides
// use this code and the same zlib, so that deflating is repeatable. Plain logic on memory.
//
// Layout: the expanded bytes, then the plan, then the plan's size (8 bytes, little-endian).
// The plan holds the number of entries, then for every entry its gap (the bytes kept as they
// are since the previous entry's end), then every entry's inflated size, then every entry's
// deflated size, then every entry's source (unsigned LEB128 numbers, column after column),
// then a byte per entry: zlib's level. An entry's source is 0 where the launcher deflates it at
// its level, else it names the installed archive's inflated entry that has the same deflated
// bytes, which the launcher copies: 1 + twice the step from the entry one past the one named
// before (1 + twice the step's size less one where it goes back). In the expanded form of an
// installed file both are 0.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ornivel {

// A patch of an archive is these four bytes, then one zstd frame that makes the expanded form
// of the new release with the expanded form of the installed one as its reference prefix.
// Such patches exist only where the two expanded forms together fit into 2^27 bytes (128 MiB):
// the launcher holds both in its memory. The plain patches of other files begin with zstd's
// own magic number, never with these bytes.
constexpr char kArchivePatchMagic[4] = {'O', 'Z', 'A', '1'};
constexpr uint64_t kArchivePatchSpanMax = uint64_t(1) << 27;

// An entry's deflated bytes in an archive.
struct ArchiveStream {
    uint64_t offset = 0;      // where they begin in the archive
    uint64_t packedSize = 0;  // how many there are
    uint64_t plainSize = 0;   // how many bytes they inflate to, as the archive's directory says
    uint32_t crc = 0;         // the CRC-32 of the inflated bytes, as the directory says
};

// The deflated entries of a ZIP archive as its central directory lists them, in the order
// of their place in the archive. Entries whose bytes overlap an earlier one's or lie outside
// the archive are left out. Empty when the bytes are no ZIP archive (nor one this reads: no
// ZIP64 directory, at most kArchiveEntriesMax entries).
constexpr size_t kArchiveEntriesMax = 1u << 20;
std::vector<ArchiveStream> archiveStreams(std::string_view archive);

enum class Expansion {
    Expanded,  // `expanded` holds the expanded form
    NoArchive, // the bytes are no archive with deflated entries
    TooLarge,  // the expanded form would exceed the limit
};

// The expanded form of an installed file: every entry that inflates soundly (exactly its
// deflated bytes to exactly its listed size) is inflated; `inflated`, when given, receives
// those entries in their order. The same bytes always give the same form. Throws
// std::bad_alloc when memory runs out (so do the functions below).
Expansion expandInstalled(std::string_view archive, uint64_t limit, std::string& expanded,
                          std::vector<ArchiveStream>* inflated = nullptr);

// The expanded form of a new release, for a patch from `installed` (whose inflated entries
// expandInstalled gave): an entry whose deflated bytes one of those holds as well is copied
// from there; any other entry is inflated only where zlib deflates it again to exactly the
// archive's bytes (at a level it tries), with that level in the plan.
Expansion expandForPatch(std::string_view archive, std::string_view installed,
                         const std::vector<ArchiveStream>& installedEntries, uint64_t limit, std::string& expanded);

// Writes the archive an expanded form (made by expandForPatch) stands for into `target`,
// which must be exactly as large as that archive, copying entries from `installed` where the
// plan says so. False, with a short English reason in `detail`, when the plan is unsound or
// an entry does not deflate to its listed size.
bool deflateExpanded(std::string_view expanded, std::string_view installed,
                     const std::vector<ArchiveStream>& installedEntries, unsigned char* target, size_t targetSize,
                     std::string* detail);

} // namespace ornivel
