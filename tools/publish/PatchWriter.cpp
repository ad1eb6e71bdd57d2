#include "PatchWriter.h"

#include <algorithm>
#include <memory>

#include <zstd.h>

#include "filelist/ExpandedArchive.h"

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

unsigned patchHashLog(uint64_t baseSize) {
    return std::min(patchWindowLog(baseSize, 0), kPatchHashLogMax);
}

namespace {

// One zstd frame of `content` with `reference` as its prefix, after `prefix`. Given up as soon
// as the patch would reach `worthIt` bytes.
PatchResult writeFrame(std::string_view reference, std::string_view content, std::string_view prefix, size_t worthIt,
                       std::string& patch, std::string& error, int level) {
    patch.assign(prefix.data(), prefix.size());
    Encoder encoder(ZSTD_createCCtx());
    if (!encoder) {
        error = "no memory for zstd";
        return PatchResult::Failed;
    }
    ZSTD_CCtx* e = encoder.get();
    const int windowLog = static_cast<int>(patchWindowLog(reference.size(), content.size()));
    if (!set(e, ZSTD_c_compressionLevel, level, error) || !set(e, ZSTD_c_windowLog, windowLog, error) ||
        !set(e, ZSTD_c_hashLog, static_cast<int>(patchHashLog(reference.size())), error) ||
        !set(e, ZSTD_c_minMatch, kPatchMinMatch, error) || !set(e, ZSTD_c_enableLongDistanceMatching, 1, error) ||
        !set(e, ZSTD_c_checksumFlag, 1, error) ||
        !set(e, ZSTD_c_contentSizeFlag, 1, error))
        return PatchResult::Failed;
    size_t status = ZSTD_CCtx_setPledgedSrcSize(e, content.size());
    if (!ZSTD_isError(status)) status = ZSTD_CCtx_refPrefix(e, reference.data(), reference.size());
    if (ZSTD_isError(status)) {
        error = std::string("zstd refused the older file: ") + ZSTD_getErrorName(status);
        return PatchResult::Failed;
    }

    // Output in pieces, given up as soon as the patch would not be worth sending.
    const size_t piece = ZSTD_CStreamOutSize();
    ZSTD_inBuffer in{content.data(), content.size(), 0};
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

// A patch between the expanded forms of two releases of an archive.
PatchResult writeArchivePatch(std::string_view base, std::string_view target, size_t worthIt, std::string& patch,
                              std::string& error, int level) {
    std::string oldForm, newForm;
    std::vector<ArchiveStream> installedEntries;
    if (expandInstalled(base, kArchivePatchSpanMax, oldForm, &installedEntries) != Expansion::Expanded ||
        expandForPatch(target, base, installedEntries, kArchivePatchSpanMax - oldForm.size(), newForm) !=
            Expansion::Expanded)
        return PatchResult::NotWorthIt;
    const std::string_view magic(kArchivePatchMagic, sizeof kArchivePatchMagic);
    return writeFrame(oldForm, newForm, magic, worthIt, patch, error, level);
}

} // namespace

PatchResult makePatch(std::string_view base, std::string_view target, std::string& patch, std::string& error,
                      int level) {
    patch.clear();
    if (base.size() > kPatchSpanMax || target.size() > kPatchSpanMax - base.size()) return PatchResult::TooLarge;
    if (target.size() < kPatchMinimumSize) return PatchResult::NotWorthIt;
    const size_t worthIt = target.size() / 4 * 3;
    const PatchResult plain = writeFrame(base, target, {}, worthIt, patch, error, level);
    if (plain == PatchResult::Failed) return plain;
    // Two releases of an archive: a patch between their expanded forms, where it is smaller.
    std::string archivePatch;
    const size_t smaller = plain == PatchResult::Written ? patch.size() : worthIt;
    const PatchResult archive = writeArchivePatch(base, target, smaller, archivePatch, error, level);
    if (archive == PatchResult::Failed) return archive;
    if (archive != PatchResult::Written) return plain;
    patch.swap(archivePatch);
    return PatchResult::Written;
}

const char* const kPatchFolder = ".ornivel-patches";

std::string patchPath(const std::string& newSha256, const std::string& olderSha256) {
    return std::string(kPatchFolder) + "/" + newSha256 + "/" + olderSha256;
}

bool inPatchFolder(const std::string& path) {
    const std::string folder = kPatchFolder;
    if (path.size() < folder.size() || (path.size() > folder.size() && path[folder.size()] != '/')) return false;
    for (size_t i = 0; i < folder.size(); ++i) {
        const char c = path[i] >= 'A' && path[i] <= 'Z' ? static_cast<char>(path[i] - 'A' + 'a') : path[i];
        if (c != folder[i]) return false;
    }
    return true;
}

namespace {
const char* const kKeptHeader = "ornivel-publish kept 1\n";

bool isSha256Text(const std::string& text) {
    return text.size() == 64 &&
           std::all_of(text.begin(), text.end(), [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}
} // namespace

// One line per path: the SHA-256 texts separated by blanks, a tab, the path.
std::string keptText(const KeptVersions& kept) {
    std::string text = kKeptHeader;
    for (const auto& [path, versions] : kept) {
        if (versions.empty()) continue;
        for (size_t i = 0; i < versions.size(); ++i) text += (i ? " " : "") + versions[i];
        text += "\t" + path + "\n";
    }
    return text;
}

KeptVersions parseKept(const std::string& text) {
    const std::string header = kKeptHeader;
    if (text.compare(0, header.size(), header) != 0) return {};
    KeptVersions kept;
    for (size_t start = header.size(); start < text.size();) {
        const size_t end = text.find('\n', start);
        const size_t tab = text.find('\t', start);
        if (end == std::string::npos || tab == std::string::npos || tab > end) return {};
        std::vector<std::string> versions;
        for (size_t at = start; at < tab;) {
            const size_t blank = std::min(text.find(' ', at), tab);
            versions.push_back(text.substr(at, blank - at));
            if (!isSha256Text(versions.back())) return {};
            at = blank + 1;
        }
        kept[text.substr(tab + 1, end - tab - 1)] = std::move(versions);
        start = end + 1;
    }
    return kept;
}

std::vector<std::string> olderVersions(const std::string& replaced, const std::vector<std::string>& keptBefore,
                                       const std::string& current, size_t keep) {
    std::vector<std::string> older;
    auto add = [&](const std::string& version) {
        if (older.size() < keep && !version.empty() && version != current &&
            std::find(older.begin(), older.end(), version) == older.end())
            older.push_back(version);
    };
    add(replaced);
    for (const std::string& version : keptBefore) add(version);
    return older;
}

} // namespace ornivel::publish
