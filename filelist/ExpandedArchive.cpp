#include "filelist/ExpandedArchive.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <iterator>
#include <unordered_map>

#include <zlib.h>

namespace ornivel {

namespace {

uint32_t le16(std::string_view bytes, uint64_t at) {
    return uint32_t(uint8_t(bytes[at])) | uint32_t(uint8_t(bytes[at + 1])) << 8;
}
uint32_t le32(std::string_view bytes, uint64_t at) { return le16(bytes, at) | le16(bytes, at + 2) << 16; }

constexpr uint32_t kEndOfDirectory = 0x06054b50, kDirectoryEntry = 0x02014b50, kLocalHeader = 0x04034b50;
constexpr uint64_t kEndOfDirectorySize = 22, kDirectoryEntrySize = 46, kLocalHeaderSize = 30;
constexpr uint32_t kDeflated = 8;

// zlib counts in unsigned int; an entry beyond it stays as it is.
constexpr uint64_t kZlibSpanMax = UINT_MAX;

// Inflates raw deflate streams (as ZIP entries hold them), one z_stream for all.
class Inflater {
public:
    ~Inflater() {
        if (ready_) inflateEnd(&z_);
    }
    // Whether `packed` inflates to exactly `plainSize` bytes, written to `plain`, and ends
    // exactly at its last byte.
    bool exactly(const unsigned char* packed, uint64_t packedSize, unsigned char* plain, uint64_t plainSize) {
        if (!packedSize || !plainSize || packedSize > kZlibSpanMax || plainSize > kZlibSpanMax) return false;
        if (!ready_) {
            if (inflateInit2(&z_, -MAX_WBITS) != Z_OK) return false;
            ready_ = true;
        } else if (inflateReset(&z_) != Z_OK) {
            return false;
        }
        z_.next_in = const_cast<unsigned char*>(packed);
        z_.avail_in = static_cast<unsigned>(packedSize);
        z_.next_out = plain;
        z_.avail_out = static_cast<unsigned>(plainSize);
        return inflate(&z_, Z_FINISH) == Z_STREAM_END && z_.avail_in == 0 && z_.avail_out == 0;
    }

private:
    z_stream z_{};
    bool ready_ = false;
};

// Deflates as ZIP writers do (raw deflate, a 32 KiB window, zlib's default memory level),
// one z_stream per level.
class Deflater {
public:
    ~Deflater() {
        for (size_t level = 0; level < streams_.size(); ++level)
            if (ready_[level]) deflateEnd(&streams_[level]);
    }
    // Whether `plain` deflates at `level` to exactly `packedSize` bytes, written to `packed`.
    bool exactly(int level, const unsigned char* plain, uint64_t plainSize, unsigned char* packed, uint64_t packedSize) {
        if (level < 1 || level > 9 || !plainSize || !packedSize || plainSize > kZlibSpanMax ||
            packedSize > kZlibSpanMax)
            return false;
        z_stream& z = streams_[level];
        if (!ready_[level]) {
            if (deflateInit2(&z, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) return false;
            ready_[level] = true;
        } else if (deflateReset(&z) != Z_OK) {
            return false;
        }
        z.next_in = const_cast<unsigned char*>(plain);
        z.avail_in = static_cast<unsigned>(plainSize);
        z.next_out = packed;
        z.avail_out = static_cast<unsigned>(packedSize);
        const int status = deflate(&z, Z_FINISH);
        if (status == Z_STREAM_END) return z.avail_out == 0;
        if (status != Z_OK || z.avail_out != 0) return false;
        // Output that fills the room exactly: zlib tells the stream's end only when asked
        // again, and then must have nothing more to write.
        unsigned char spare[16];
        z.next_out = spare;
        z.avail_out = sizeof spare;
        return deflate(&z, Z_FINISH) == Z_STREAM_END && z.avail_out == sizeof spare;
    }

private:
    std::array<z_stream, 10> streams_{};
    std::array<bool, 10> ready_{};
};

struct PlanEntry {
    uint64_t gap = 0, plainSize = 0, packedSize = 0, source = 0;
    int level = 0;
};

void putNumber(std::string& out, uint64_t value) {
    do {
        const auto low = static_cast<char>(value & 0x7f);
        value >>= 7;
        out.push_back(static_cast<char>(low | (value ? 0x80 : 0)));
    } while (value);
}

bool takeNumber(std::string_view bytes, size_t& at, uint64_t& value) {
    value = 0;
    for (unsigned shift = 0; shift < 64 && at < bytes.size(); shift += 7) {
        const auto byte = static_cast<uint8_t>(bytes[at++]);
        value |= uint64_t(byte & 0x7f) << shift;
        if (!(byte & 0x80)) return true;
    }
    return false;
}

void appendPlan(std::string& out, const std::vector<PlanEntry>& plan) {
    const size_t start = out.size();
    putNumber(out, plan.size());
    for (const auto& e : plan) putNumber(out, e.gap);
    for (const auto& e : plan) putNumber(out, e.plainSize);
    for (const auto& e : plan) putNumber(out, e.packedSize);
    // Sources as steps from the entry copied before: unchanged runs of entries give runs of 1.
    int64_t previous = -1;
    for (const auto& e : plan) {
        if (!e.source) {
            putNumber(out, 0);
            continue;
        }
        const int64_t index = static_cast<int64_t>(e.source - 1), step = index - previous - 1;
        putNumber(out, (step >= 0 ? uint64_t(step) << 1 : (uint64_t(-(step + 1)) << 1 | 1)) + 1);
        previous = index;
    }
    for (const auto& e : plan) out.push_back(static_cast<char>(e.level));
    uint64_t size = out.size() - start;
    for (int i = 0; i < 8; ++i, size >>= 8) out.push_back(static_cast<char>(size & 0xff));
}

// Reads the plan at the end of an expanded form; `bodySize` receives the size of the bytes before it.
bool readPlan(std::string_view expanded, std::vector<PlanEntry>& plan, uint64_t& bodySize) {
    if (expanded.size() < 8) return false;
    uint64_t planSize = 0;
    for (int i = 7; i >= 0; --i) planSize = planSize << 8 | uint8_t(expanded[expanded.size() - 8 + i]);
    if (planSize > expanded.size() - 8) return false;
    bodySize = expanded.size() - 8 - planSize;
    const std::string_view text = expanded.substr(bodySize, planSize);
    size_t at = 0;
    uint64_t count = 0;
    if (!takeNumber(text, at, count) || count > kArchiveEntriesMax || count > text.size()) return false;
    plan.assign(count, PlanEntry{});
    for (auto& e : plan)
        if (!takeNumber(text, at, e.gap)) return false;
    for (auto& e : plan)
        if (!takeNumber(text, at, e.plainSize)) return false;
    for (auto& e : plan)
        if (!takeNumber(text, at, e.packedSize)) return false;
    int64_t previous = -1;
    for (auto& e : plan) {
        uint64_t value = 0;
        if (!takeNumber(text, at, value)) return false;
        if (!value) continue;
        const uint64_t zigzag = value - 1;
        if (zigzag >> 1 > uint64_t(kArchiveEntriesMax)) return false;
        const int64_t step = zigzag & 1 ? -int64_t(zigzag >> 1) - 1 : int64_t(zigzag >> 1);
        const int64_t index = previous + 1 + step;
        if (index < 0) return false;
        e.source = uint64_t(index) + 1;
        previous = index;
    }
    if (text.size() - at != count) return false;
    for (auto& e : plan) e.level = uint8_t(text[at++]);
    return true;
}

// Finds the level at which zlib gives exactly an entry's deflated bytes; 0 when none of the
// levels ZIP writers use does. The level found last is tried first: one writer made the archive.
class LevelFinder {
public:
    int find(const unsigned char* plain, uint64_t plainSize, const unsigned char* packed, uint64_t packedSize) {
        scratch_.resize(static_cast<size_t>(packedSize));
        const int candidates[] = {last_, 6, 9, 1};
        for (size_t i = 0; i < std::size(candidates); ++i) {
            const int level = candidates[i];
            if (std::find(candidates, candidates + i, level) != candidates + i) continue;
            if (deflater_.exactly(level, plain, plainSize, scratch_.data(), packedSize) &&
                std::memcmp(scratch_.data(), packed, static_cast<size_t>(packedSize)) == 0)
                return last_ = level;
        }
        return 0;
    }

private:
    Deflater deflater_;
    std::vector<unsigned char> scratch_;
    int last_ = 6;
};

// The installed archive's inflated entries, found by their directory's values and then compared
// byte for byte: the entries a new release has unchanged.
class InstalledEntries {
public:
    InstalledEntries(std::string_view installed, const std::vector<ArchiveStream>& entries)
        : installed_(installed), entries_(entries) {
        for (size_t i = 0; i < entries.size(); ++i) byKey_.emplace(key(entries[i]), i);
    }
    // 1 + the index of an installed entry with the same deflated bytes, or 0.
    uint64_t sourceOf(std::string_view archive, const ArchiveStream& s) const {
        const auto [first, last] = byKey_.equal_range(key(s));
        for (auto it = first; it != last; ++it) {
            const ArchiveStream& e = entries_[it->second];
            if (e.packedSize == s.packedSize && e.plainSize == s.plainSize && e.crc == s.crc &&
                e.offset + e.packedSize <= installed_.size() &&
                archive.compare(s.offset, s.packedSize, installed_.substr(e.offset, e.packedSize)) == 0)
                return it->second + 1;
        }
        return 0;
    }

private:
    static uint64_t key(const ArchiveStream& s) { return uint64_t(s.crc) << 32 ^ s.packedSize ^ s.plainSize << 20; }
    std::string_view installed_;
    const std::vector<ArchiveStream>& entries_;
    std::unordered_multimap<uint64_t, size_t> byKey_;
};

// The expanded form; for a patch when `installed` is given, else of an installed file.
Expansion expand(std::string_view archive, uint64_t limit, std::string& out, const InstalledEntries* installed,
                 std::vector<ArchiveStream>* inflated) {
    out.clear();
    if (inflated) inflated->clear();
    const std::vector<ArchiveStream> streams = archiveStreams(archive);
    if (streams.empty()) return Expansion::NoArchive;
    // At most every entry inflated, and a plan of at most 41 bytes an entry.
    uint64_t bound = archive.size() + 16 + 41 * uint64_t(streams.size());
    for (const auto& s : streams) {
        if (s.plainSize > limit) return Expansion::TooLarge;
        if (s.plainSize > s.packedSize) bound += s.plainSize - s.packedSize;
        if (bound > limit) return Expansion::TooLarge;
    }
    out.reserve(static_cast<size_t>(bound));
    std::vector<PlanEntry> plan;
    plan.reserve(streams.size());
    Inflater inflater;
    LevelFinder levels;
    uint64_t at = 0, lastEntryEnd = 0;
    const auto* bytes = reinterpret_cast<const unsigned char*>(archive.data());
    for (const auto& s : streams) {
        out.append(archive.data() + at, static_cast<size_t>(s.offset - at));
        at = s.offset + s.packedSize;
        const size_t start = out.size();
        out.resize(start + static_cast<size_t>(s.plainSize));
        auto* plain = reinterpret_cast<unsigned char*>(&out[start]);
        PlanEntry entry{start - lastEntryEnd, s.plainSize, s.packedSize, 0, 0};
        bool kept = inflater.exactly(bytes + s.offset, s.packedSize, plain, s.plainSize);
        if (kept && installed) {
            entry.source = installed->sourceOf(archive, s);
            if (!entry.source)
                kept = (entry.level = levels.find(plain, s.plainSize, bytes + s.offset, s.packedSize)) != 0;
        }
        if (!kept) {
            out.resize(start);
            out.append(archive.data() + s.offset, static_cast<size_t>(s.packedSize));
            continue;
        }
        plan.push_back(entry);
        if (inflated) inflated->push_back(s);
        lastEntryEnd = out.size();
    }
    out.append(archive.data() + at, archive.size() - static_cast<size_t>(at));
    appendPlan(out, plan);
    return Expansion::Expanded;
}

} // namespace

std::vector<ArchiveStream> archiveStreams(std::string_view archive) {
    std::vector<ArchiveStream> streams;
    const uint64_t size = archive.size();
    if (size < kEndOfDirectorySize) return streams;
    // The end record, searched from the back past a comment of up to 64 KiB.
    uint64_t end = size - kEndOfDirectorySize;
    const uint64_t lowest = end > 0xffff ? end - 0xffff : 0;
    while (le32(archive, end) != kEndOfDirectory || end + kEndOfDirectorySize + le16(archive, end + 20) != size) {
        if (end == lowest) return streams;
        --end;
    }
    const uint64_t count = le16(archive, end + 10), directorySize = le32(archive, end + 12),
                   directory = le32(archive, end + 16);
    if (count == 0xffff || directorySize == 0xffffffff || directory == 0xffffffff) return streams;  // ZIP64
    if (directory > end || directorySize > end - directory) return streams;
    uint64_t at = directory;
    for (uint64_t i = 0; i < count && streams.size() < kArchiveEntriesMax; ++i) {
        if (at + kDirectoryEntrySize > directory + directorySize || le32(archive, at) != kDirectoryEntry) break;
        const uint32_t method = le16(archive, at + 10), crc = le32(archive, at + 16), packed = le32(archive, at + 20),
                       plain = le32(archive, at + 24), local = le32(archive, at + 42);
        at += kDirectoryEntrySize + le16(archive, at + 28) + le16(archive, at + 30) + le16(archive, at + 32);
        if (method != kDeflated || packed == 0xffffffff || plain == 0xffffffff) continue;
        if (local + kLocalHeaderSize > directory || le32(archive, local) != kLocalHeader) continue;
        const uint64_t data = local + kLocalHeaderSize + le16(archive, local + 26) + le16(archive, local + 28);
        if (data > directory || packed > directory - data) continue;
        streams.push_back(ArchiveStream{data, packed, plain, crc});
    }
    std::sort(streams.begin(), streams.end(),
              [](const ArchiveStream& a, const ArchiveStream& b) { return a.offset < b.offset; });
    // Entries sharing bytes with an earlier one are not expanded.
    uint64_t reached = 0;
    streams.erase(std::remove_if(streams.begin(), streams.end(),
                                 [&reached](const ArchiveStream& s) {
                                     if (s.offset < reached) return true;
                                     reached = s.offset + s.packedSize;
                                     return false;
                                 }),
                  streams.end());
    return streams;
}

Expansion expandInstalled(std::string_view archive, uint64_t limit, std::string& expanded,
                          std::vector<ArchiveStream>* inflated) {
    return expand(archive, limit, expanded, nullptr, inflated);
}

Expansion expandForPatch(std::string_view archive, std::string_view installed,
                         const std::vector<ArchiveStream>& installedEntries, uint64_t limit, std::string& expanded) {
    const InstalledEntries entries(installed, installedEntries);
    return expand(archive, limit, expanded, &entries, nullptr);
}

bool deflateExpanded(std::string_view expanded, std::string_view installed,
                     const std::vector<ArchiveStream>& installedEntries, unsigned char* target, size_t targetSize,
                     std::string* detail) {
    const auto failed = [detail](const char* text) {
        if (detail) *detail = text;
        return false;
    };
    std::vector<PlanEntry> plan;
    uint64_t bodySize = 0;
    if (!readPlan(expanded, plan, bodySize)) return failed("the archive's plan is damaged");
    const auto* body = reinterpret_cast<const unsigned char*>(expanded.data());
    Deflater deflater;
    uint64_t in = 0, out = 0;
    for (const auto& e : plan) {
        if (e.gap > bodySize - in || e.gap > targetSize - out) return failed("the archive's plan is damaged");
        if (e.gap) std::memcpy(target + out, body + in, static_cast<size_t>(e.gap));
        in += e.gap, out += e.gap;
        if (e.plainSize > bodySize - in || e.packedSize > targetSize - out)
            return failed("the archive's plan is damaged");
        if (e.source) {
            // Unchanged since the installed release: its deflated bytes are there.
            if (e.source > installedEntries.size()) return failed("the archive's plan is damaged");
            const ArchiveStream& from = installedEntries[static_cast<size_t>(e.source - 1)];
            if (from.packedSize != e.packedSize || from.offset > installed.size() ||
                from.packedSize > installed.size() - from.offset)
                return failed("the archive's plan is damaged");
            std::memcpy(target + out, installed.data() + from.offset, static_cast<size_t>(e.packedSize));
        } else if (!deflater.exactly(e.level, body + in, e.plainSize, target + out, e.packedSize)) {
            return failed("an entry does not deflate to its listed size");
        }
        in += e.plainSize, out += e.packedSize;
    }
    if (bodySize - in != targetSize - out) return failed("the archive has another size than the listed one");
    if (bodySize > in) std::memcpy(target + out, body + in, static_cast<size_t>(bodySize - in));
    return true;
}

} // namespace ornivel
