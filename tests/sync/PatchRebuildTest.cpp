// Binary patches: made by ornivel-publish (tools/publish/PatchWriter.h), applied by the
// launcher (sync/PatchRebuild.h). Every way a patch can fail to give the listed file must be
// an outcome other than Rebuilt, so that the launcher fetches the whole file instead.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include <zlib.h>

#include "sync/PatchRebuild.h"
#include "tools/publish/PatchWriter.h"
#ifdef _WIN32
#include "tests/support/TestSupport.h"
#endif

namespace ornivel {
namespace {

// Bytes without redundancy of their own, like the compressed entries of a JAR.
std::string noise(size_t size, uint64_t seed) {
    std::string bytes(size, '\0');
    uint64_t state = seed * 0x9E3779B97F4A7C15ull + 1;
    for (size_t at = 0; at < size; at += sizeof state) {
        state ^= state << 13, state ^= state >> 7, state ^= state << 17;
        std::memcpy(&bytes[at], &state, std::min(sizeof state, size - at));
    }
    return bytes;
}

// A release and its successor: most 16 KiB pieces kept (some moved), some changed, one
// new, one dropped.
struct Releases {
    std::string older, newer;
    Releases() {
        const size_t piece = 16 * 1024;
        std::vector<std::string> pieces;
        for (uint64_t i = 0; i < 40; ++i) pieces.push_back(noise(piece, i + 1));
        for (const auto& p : pieces) older += p;
        pieces[3] = noise(piece, 1000);                                    // changed
        pieces[20].replace(100, 50, noise(70, 1001));                      // edited, longer
        pieces.erase(pieces.begin() + 30);                                 // dropped
        pieces.insert(pieces.begin() + 10, noise(piece / 2, 1002));        // new
        std::swap(pieces[5], pieces[35]);                                  // moved
        for (const auto& p : pieces) newer += p;
    }
};

std::string patchOf(const std::string& base, const std::string& target) {
    std::string patch, error;
    EXPECT_EQ(publish::makePatch(base, target, patch, error), publish::PatchResult::Written) << error;
    return patch;
}

PatchOutcome rebuild(const std::string& base, const std::string& patch, std::string& target, size_t size,
                     std::string* detail = nullptr) {
    target.assign(size, '\0');
    PatchBytesReader reader(patch);
    return rebuildFromPatch(base, reader, reinterpret_cast<unsigned char*>(target.data()), size, detail);
}

TEST(Patch, RoundTripCarriesOnlyWhatChanged) {
    const Releases r;
    const std::string patch = patchOf(r.older, r.newer);
    // About a tenth of the pieces changed; the patch carries little more than those.
    EXPECT_LT(patch.size(), r.newer.size() / 8);
    std::string rebuilt;
    std::string detail = "unset";
    ASSERT_EQ(rebuild(r.older, patch, rebuilt, r.newer.size(), &detail), PatchOutcome::Rebuilt) << detail;
    EXPECT_TRUE(rebuilt == r.newer);
    EXPECT_TRUE(detail.empty());

    // From an empty older file (a file that was empty before): the patch is the file itself,
    // compressed, and is not worth sending when it cannot be compressed.
    std::string none;
    EXPECT_EQ(publish::makePatch("", r.newer, none, detail), publish::PatchResult::NotWorthIt);
    const std::string text(200 * 1024, 'x');
    ASSERT_EQ(rebuild("", patchOf("", text), rebuilt, text.size()), PatchOutcome::Rebuilt);
    EXPECT_TRUE(rebuilt == text);
}

TEST(Patch, DamagedPatchesAreNeverRebuilt) {
    const Releases r;
    const std::string patch = patchOf(r.older, r.newer);
    std::string rebuilt, detail;
    // A byte changed anywhere: in the header, in the compressed blocks, in the checksum.
    for (size_t at : {size_t(0), size_t(5), patch.size() / 3, patch.size() / 2, patch.size() - 2}) {
        std::string damaged = patch;
        damaged[at] = static_cast<char>(damaged[at] ^ 0x41);
        EXPECT_NE(rebuild(r.older, damaged, rebuilt, r.newer.size(), &detail), PatchOutcome::Rebuilt) << at;
        EXPECT_FALSE(detail.empty());
    }
    EXPECT_EQ(rebuild(r.older, patch.substr(0, patch.size() - 1), rebuilt, r.newer.size()), PatchOutcome::Damaged);
    EXPECT_EQ(rebuild(r.older, patch.substr(0, 3), rebuilt, r.newer.size()), PatchOutcome::Damaged);
    EXPECT_EQ(rebuild(r.older, "", rebuilt, r.newer.size()), PatchOutcome::Damaged);
    EXPECT_EQ(rebuild(r.older, patch + patch, rebuilt, r.newer.size()), PatchOutcome::Damaged);
    EXPECT_EQ(rebuild(r.older, r.newer, rebuilt, r.newer.size()), PatchOutcome::Damaged);  // no patch at all
    // Another size than the list names: refused before anything is decoded.
    EXPECT_EQ(rebuild(r.older, patch, rebuilt, r.newer.size() - 1), PatchOutcome::WrongSize);
    EXPECT_EQ(rebuild(r.older, patch, rebuilt, r.newer.size() + 1), PatchOutcome::WrongSize);

    // A reader that fails half-way.
    class Failing : public PatchReader {
    public:
        explicit Failing(const std::string& bytes) : inner_(bytes) {}
        long long read(void* into, size_t capacity) override {
            return calls_++ ? -1 : inner_.read(into, std::min<size_t>(capacity, 64));
        }
    private:
        PatchBytesReader inner_;
        int calls_ = 0;
    } failing(patch);
    rebuilt.assign(r.newer.size(), '\0');
    EXPECT_EQ(rebuildFromPatch(r.older, failing, reinterpret_cast<unsigned char*>(rebuilt.data()), rebuilt.size()),
              PatchOutcome::ReadFailed);
}

TEST(Patch, AnotherInstalledFileIsNoBase) {
    const Releases r;
    const std::string patch = patchOf(r.older, r.newer);
    std::string rebuilt;
    // The installed file is not the one the patch was made from: same size, one piece
    // different; wholly different; shorter.
    std::string edited = r.older;
    edited.replace(16 * 1024 * 7, 16 * 1024, noise(16 * 1024, 77));
    for (const std::string& other : {edited, noise(r.older.size(), 78), r.older.substr(0, r.older.size() / 2)}) {
        EXPECT_NE(rebuild(other, patch, rebuilt, r.newer.size()), PatchOutcome::Rebuilt);
        EXPECT_FALSE(rebuilt == r.newer);
    }
    EXPECT_EQ(rebuild(edited, patch, rebuilt, r.newer.size()), PatchOutcome::Mismatch);
}

// A ZIP archive as JAR tools write them: each entry deflated by zlib with the given level and
// strategy (level 0: stored).
struct ZipEntry {
    std::string name, content;
    int level = 6, strategy = Z_DEFAULT_STRATEGY;
};
std::string zipOf(const std::vector<ZipEntry>& entries) {
    const auto put = [](std::string& out, uint64_t value, int bytes) {
        for (int i = 0; i < bytes; ++i, value >>= 8) out.push_back(static_cast<char>(value & 0xff));
    };
    std::string archive, directory;
    for (const auto& e : entries) {
        std::string data = e.content;
        if (e.level) {
            z_stream z{};
            EXPECT_EQ(deflateInit2(&z, e.level, Z_DEFLATED, -MAX_WBITS, 8, e.strategy), Z_OK);
            data.assign(deflateBound(&z, e.content.size()), '\0');
            z.next_in = reinterpret_cast<unsigned char*>(const_cast<char*>(e.content.data()));
            z.avail_in = static_cast<unsigned>(e.content.size());
            z.next_out = reinterpret_cast<unsigned char*>(data.data());
            z.avail_out = static_cast<unsigned>(data.size());
            EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
            data.resize(z.total_out);
            deflateEnd(&z);
        }
        const uint32_t crc = crc32(0, reinterpret_cast<const unsigned char*>(e.content.data()), e.content.size());
        const size_t local = archive.size();
        put(archive, 0x04034b50, 4), put(archive, 20, 2), put(archive, 0, 2), put(archive, e.level ? 8 : 0, 2);
        put(archive, 0, 4), put(archive, crc, 4), put(archive, data.size(), 4), put(archive, e.content.size(), 4);
        put(archive, e.name.size(), 2), put(archive, 0, 2);
        archive += e.name + data;
        put(directory, 0x02014b50, 4), put(directory, 20, 2), put(directory, 20, 2), put(directory, 0, 2);
        put(directory, e.level ? 8 : 0, 2), put(directory, 0, 4), put(directory, crc, 4);
        put(directory, data.size(), 4), put(directory, e.content.size(), 4), put(directory, e.name.size(), 2);
        put(directory, 0, 12), put(directory, local, 4);
        directory += e.name;
    }
    const size_t at = archive.size();
    archive += directory;
    put(archive, 0x06054b50, 4), put(archive, 0, 4), put(archive, entries.size(), 2), put(archive, entries.size(), 2);
    put(archive, directory.size(), 4), put(archive, at, 4), put(archive, 0, 2);
    return archive;
}

// Text that deflates well, as classes do: words from a small vocabulary.
std::string words(size_t count, uint64_t seed) {
    static const char* const vocabulary[] = {"java", "lang", "Object", "invoke", "static", "field", "return",
                                             "ornivel", "client", "module", "String", "value"};
    std::string text;
    uint64_t state = seed * 0x9E3779B97F4A7C15ull + 7;
    for (size_t i = 0; i < count; ++i) {
        state ^= state << 13, state ^= state >> 7, state ^= state << 17;
        text += vocabulary[state % 12];
        text += (state >> 8) % 9 ? ' ' : '\n';
    }
    return text;
}

// Two releases of a JAR: most classes kept (copied from the installed file), a few edited, one
// new, one gone (deflated again); a stored entry, an edited one deflated at another level and
// one that zlib's levels do not repeat (it travels as it is).
TEST(Patch, ArchivesArePatchedBetweenTheirExpandedForms) {
    std::vector<ZipEntry> older;
    for (int i = 0; i < 200; ++i) older.push_back({"de/torbenwald/C" + std::to_string(i) + ".class", words(1500, i)});
    older.push_back({"META-INF/MANIFEST.MF", "Manifest-Version: 1.0\r\n", 0});
    older[7].level = 9;
    older[8].strategy = Z_HUFFMAN_ONLY;
    std::vector<ZipEntry> newer = older;
    for (int i : {3, 7, 8, 40}) newer[i].content.replace(1000, 20, "changed in this release");
    newer.erase(newer.begin() + 50);
    newer.push_back({"de/torbenwald/New.class", words(700, 99)});
    const std::string oldJar = zipOf(older), newJar = zipOf(newer);

    const std::string patch = patchOf(oldJar, newJar);
    ASSERT_EQ(patch.compare(0, 4, "OZA1"), 0);
    // The edits and the new class, not the edited entries' deflated bytes.
    EXPECT_LT(patch.size(), newJar.size() / 12) << patch.size() << " of " << newJar.size();
    std::string rebuilt, detail;
    ASSERT_EQ(rebuild(oldJar, patch, rebuilt, newJar.size(), &detail), PatchOutcome::Rebuilt) << detail;
    EXPECT_TRUE(rebuilt == newJar);

    // Damage anywhere, another installed file, an installed file that is no archive, a size
    // the list does not give: never a rebuilt file.
    for (size_t at : {size_t(2), size_t(9), patch.size() / 2, patch.size() - 3}) {
        std::string damaged = patch;
        damaged[at] = static_cast<char>(damaged[at] ^ 0x10);
        EXPECT_NE(rebuild(oldJar, damaged, rebuilt, newJar.size(), &detail), PatchOutcome::Rebuilt) << at;
    }
    std::vector<ZipEntry> other = older;
    other[20].content = words(1500, 1234);
    EXPECT_EQ(rebuild(zipOf(other), patch, rebuilt, newJar.size(), &detail), PatchOutcome::Mismatch) << detail;
    EXPECT_EQ(rebuild(noise(oldJar.size(), 3), patch, rebuilt, newJar.size(), &detail), PatchOutcome::Mismatch);
    EXPECT_NE(rebuild(oldJar, patch, rebuilt, newJar.size() + 1, &detail), PatchOutcome::Rebuilt);
}

TEST(Patch, LimitsAgreeBetweenPublisherAndLauncher) {
    EXPECT_EQ(publish::kPatchWindowLogMax, kPatchWindowLogMax);
    // The window covers both files: 100 MiB rebuilt from 100 MiB needs 2^28.
    EXPECT_EQ(publish::patchWindowLog(100 << 20, 100 << 20), 28u);
    EXPECT_EQ(publish::patchWindowLog(0, 64 * 1024), 16u);
    EXPECT_TRUE(publish::patchApplies(128 << 20, 128 << 20));
    EXPECT_TRUE(patchSpanFits(128 << 20, 128 << 20));
    EXPECT_FALSE(publish::patchApplies(128 << 20, (128 << 20) + 1));
    EXPECT_FALSE(patchSpanFits(128 << 20, (128 << 20) + 1));
    EXPECT_FALSE(patchSpanFits(uint64_t(1) << 40, 1));
}

#ifdef _WIN32
// The launcher's way: the installed file and the new one as mapped views, the patch read from
// its file; a failure leaves no new file behind.
TEST(Patch, FilesAreRebuiltThroughViews) {
    const Releases r;
    const test::TempFolder folder(L"patch");
    folder.write(L"old.jar", r.older);
    folder.write(L"new.jar.patch", patchOf(r.older, r.newer));
    folder.write(L"new.jar", "an earlier attempt");
    std::string detail;
    ASSERT_EQ(rebuildFileFromPatch(folder / L"old.jar", folder / L"new.jar.patch", folder / L"new.jar", r.newer.size(),
                                   &detail),
              PatchOutcome::Rebuilt)
        << detail;
    EXPECT_TRUE(folder.read(L"new.jar") == r.newer);

    // An installed file that is not the patch's base, a missing patch, an empty installed file.
    folder.write(L"other.jar", noise(r.older.size(), 5));
    folder.write(L"empty.jar", "");
    for (const auto& [base, patch] : {std::pair{L"other.jar", L"new.jar.patch"}, std::pair{L"old.jar", L"none.patch"},
                                      std::pair{L"empty.jar", L"new.jar.patch"}}) {
        EXPECT_NE(rebuildFileFromPatch(folder / base, folder / patch, folder / L"new.jar", r.newer.size(), &detail),
                  PatchOutcome::Rebuilt)
            << base << L" " << patch;
        EXPECT_FALSE(folder.exists(L"new.jar"));
    }
    const std::string text(100 * 1024, 't');
    folder.write(L"text.patch", patchOf("", text));
    ASSERT_EQ(rebuildFileFromPatch(folder / L"empty.jar", folder / L"text.patch", folder / L"text.txt", text.size()),
              PatchOutcome::Rebuilt);
    EXPECT_TRUE(folder.read(L"text.txt") == text);
}
#endif

} // namespace
} // namespace ornivel
