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
// deflated size (unsigned LEB128 numbers, column after column), then a byte per entry: zlib's
// level (0 where it is not known, in the expanded form of an installed file).
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
// deflated bytes to exactly its listed size) is inflated. The same bytes always give the
// same form. Throws std::bad_alloc when memory runs out.
Expansion expandInstalled(std::string_view archive, uint64_t limit, std::string& expanded);

// The expanded form of a new release: only the entries that zlib deflates again to exactly
// the archive's bytes (at the level it tries) are inflated, each with that level in the plan.
Expansion expandForPatch(std::string_view archive, uint64_t limit, std::string& expanded);

// Writes the archive an expanded form (made by expandForPatch) stands for into `target`,
// which must be exactly as large as that archive. False, with a short English reason in
// `detail`, when the plan is unsound or an entry does not deflate to its listed size.
bool deflateExpanded(std::string_view expanded, unsigned char* target, size_t targetSize, std::string* detail);

} // namespace ornivel
