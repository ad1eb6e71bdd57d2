// Deleting files that the server list no longer names, and fetching the files that are
// missing or differ, with the server's timestamps.
#include <windows.h>

#include <algorithm>
#include <unordered_map>
#include <vector>

#include "common/FileTimes.h"
#include "common/Handles.h"
#include "common/Text.h"
#include "logdriver/LastError.h"
#include "remote/RemoteSource.h"
#include "sync/FileDigest.h"
#include "sync/FileIdentity.h"
#include "filelist/FileList.h"
#include "filelist/ListSignature.h"
#include "sync/FolderListing.h"
#include "sync/HeldFile.h"
#include "sync/LocalPaths.h"
#include "sync/OrnivelSynchronizer.h"
#include "sync/PatchRebuild.h"

namespace ornivel {

namespace {

// How the server knows a listed file's name: by the list's own bytes.
NameBytes nameBytesOf(const FileListFile& file) { return file.ansiPath ? NameBytes::Ansi : NameBytes::Utf8; }

// Folders in which every file the server list does not name is removed.
bool isManagedFolder(const std::wstring& lowerSubfolder) {
    return lowerSubfolder == L"module\\" || lowerSubfolder == L"system\\jar\\" ||
           lowerSubfolder == L"system\\jobs\\" || lowerSubfolder == L"java_17.0.1\\";
}

// Whether the list gives the entry's digest: then the digest alone decides whether a file is
// the listed one.
bool hasDigest(const FileListFile& entry) { return !entry.sha256.empty() || !entry.checksum.empty(); }

// Whether an open file's bytes, from its current position to its end, have the entry's digest:
// its SHA-256 where the list gives one (MD5 does not bind a file's content), else its MD5. A
// failed read counts as a difference.
bool digestMatches(HANDLE file, const FileListFile& entry, std::vector<unsigned char>& block) {
    std::string hex;
    if (!entry.sha256.empty()) return sha256HexOfHandle(file, block, hex) && hex == entry.sha256;
    return md5HexOfHandle(file, block, hex) && std::wstring(hex.begin(), hex.end()) == entry.checksum;
}

// The deployment's key file in the installation folder, lower-cased.
const std::wstring& lowerKeyFileName() {
    static const std::wstring name = lowerAscii(fromUtf8(kPublicKeyFileName));
    return name;
}

// A key file bigger than this is none (it holds a few lines).
constexpr LONGLONG kMaxKeyFileBytes = 4096;

// Whether a held file is a usable deployment key file: the installation's key file is replaced
// only by one that still lets it check lists.
bool usableKeyFile(HeldFile& held) {
    LARGE_INTEGER size{};
    std::string text;
    std::vector<PublicKey> keys;
    return GetFileSizeEx(held.get(), &size) && size.QuadPart <= kMaxKeyFileBytes && held.readAll(text) &&
           parsePublicKeysText(text, keys);
}

UniqueHandle openForReading(const std::wstring& path) {
    return UniqueHandle(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
}

// Whether the local copy of a list entry differs from it: by its digest when the list has a
// digest (the file opened once), otherwise by size and last-write time.
bool changedOnDisk(const std::wstring& target, const FileListFile& entry, FolderListing& listing,
                   std::vector<unsigned char>& block) {
    ListedFile found;
    if (hasDigest(entry)) {
        // A file the folder's listing lacks is not looked for (a miss costs a search of the
        // whole folder where names are matched ignoring case by hand, as under Wine).
        if (listing.find(target, found) == FolderListing::Lookup::Missing) return true;
        UniqueHandle file = openForReading(target);
        return !file || !digestMatches(file.get(), entry, block);
    }
    if (!listing.lookUp(target, found)) return true;
    FILETIME localWrite;
    if (static_cast<DWORD>(found.size) != static_cast<DWORD>(entry.size) ||
        !FileTimeToLocalFileTime(&found.lastWrite, &localWrite))
        return true;
    return !sameFileTime(ticksOfFileTime(localWrite), entry.timestamp);
}

uint64_t sizeOf(const WIN32_FILE_ATTRIBUTE_DATA& data) {
    return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// kUnknownListSize, the size of an entry without a readable "Size", is negative.
bool listedSizeKnown(const FileListFile& entry) { return entry.size >= 0; }

// Whether an entry's "patches" names a version (a SHA-256 text).
bool patchListed(const std::string& patches, const std::string& version) {
    for (size_t at = 0; at < patches.size();) {
        const size_t blank = std::min(patches.find(' ', at), patches.size());
        if (patches.compare(at, blank - at, version) == 0 && blank - at == version.size()) return true;
        at = blank + 1;
    }
    return false;
}

// Whether a partial file has the listed size already, so that only its check is missing.
bool partialComplete(const std::wstring& partial, const FileListFile& entry) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    return listedSizeKnown(entry) && GetFileAttributesExW(partial.c_str(), GetFileExInfoStandard, &data) &&
           sizeOf(data) == static_cast<uint64_t>(entry.size);
}

} // namespace

bool OrnivelSynchronizer::deleteUnusedFiles(const std::wstring& subfolder, const FileList& serverList,
                                            const FileList& localList) {
    const std::wstring base = localPath(L"");
    WIN32_FIND_DATAW found;
    UniqueFindHandle find(FindFirstFileW((base + subfolder + L"*").c_str(), &found));
    if (!find) {
        log_.log(LOG_ERROR, L"Could not list folder '%s'. Error: %s", (base + subfolder).c_str(),
                 LastError().text().c_str());
        return true;
    }
    const bool managed = isManagedFolder(lowerAscii(subfolder));
    do {
        const std::wstring name = found.cFileName;
        // The deployment's key stays whatever a list names: without it the installation would
        // take unsigned lists.
        if (subfolder.empty() && lowerAscii(name) == lowerKeyFileName()) continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (name.find(L'.') != std::wstring::npos) continue;  // ".", ".." and dotted folders
            // Junctions and folder links lead elsewhere: the walk stays inside the installation.
            if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) continue;
            if (!deleteUnusedFiles(subfolder + name + L"\\", serverList, localList)) return false;
            continue;
        }
        const std::wstring relative = subfolder + name;
        // A download interrupted by an earlier run left its partial file behind: it waits to
        // be continued while its file is listed, and goes with it.
        const std::wstring partialOf = RemoteSource::realNameOfPartial(name);
        const bool unused = !partialOf.empty() ? !serverList.contains(subfolder + partialOf)
                            : managed          ? !serverList.contains(subfolder + lowerAscii(name))
                                               : !serverList.contains(relative) && localList.contains(relative);
        if (!unused) continue;
        log_.log(LOG_INFO, L"Deleting file '%s'", name.c_str());
        if (!DeleteFileW((base + relative).c_str())) {
            log_.log(LOG_ERROR, L"Could not delete file %s. Error: %s", name.c_str(),
                     LastError().text().c_str());
            return false;
        }
    } while (FindNextFileW(find.get(), &found));
    return true;
}

bool OrnivelSynchronizer::serverListUsable(const FileList& list, const std::wstring& listPath) {
    switch (list.state()) {
    case FileList::State::OutOfMemory:
        log_.log(LOG_ERROR, L"Not enough memory to read the file list %s.", listPath.c_str());
        return false;
    case FileList::State::Damaged:
        log_.log(LOG_ERROR, L"The file list %s could not be read whole.", listPath.c_str());
        return false;
    case FileList::State::Read:
        break;
    }
    const auto& refused = list.refusedPaths();
    if (!refused.empty()) {
        // One line for the user; every refused path in the log.
        for (const FileList::RefusedPath& entry : refused)
            log_.log(LOG_DEBUG, L"Refused list entry '%s': its path %s.", entry.path.c_str(), pathFaultText(entry.fault));
        const std::wstring more =
            refused.size() > 1 ? formatWide(L" (%d unusable paths in all)", static_cast<int>(refused.size())) : L"";
        log_.log(LOG_ERROR, L"The file list %s names '%s', whose path %s%s.", listPath.c_str(),
                 refused.front().path.c_str(), pathFaultText(refused.front().fault), more.c_str());
        return false;
    }
    if (list.size() == 0) {
        log_.log(LOG_ERROR, L"The file list %s names no files.", listPath.c_str());
        return false;
    }
    return true;
}

OrnivelSynchronizer::Arrival OrnivelSynchronizer::takeDownloaded(const std::wstring& target,
                                                                  const FileListFile& entry, const FILETIME& now,
                                                                  std::vector<unsigned char>& block) {
    // The partial file is held from its check to its new name: no other writer can change or
    // replace it in between.
    HeldFile held;
    const std::wstring partial = RemoteSource::partialPath(target);
    if (!held.open(partial, true)) {
        log_.log(LOG_ERROR, L"Could not open the downloaded file '%s'. Error: %s", partial.c_str(),
                 LastError().text().c_str());
        RemoteSource::discardPartial(target);
        return Arrival::Failed;
    }
    bool whole = true;
    if (hasDigest(entry)) {
        whole = digestMatches(held.get(), entry, block);
        if (!whole) log_.log(LOG_ERROR, L"Downloaded file '%s' does not match its checksum.", target.c_str());
    } else if (listedSizeKnown(entry)) {
        LARGE_INTEGER size{};
        whole = GetFileSizeEx(held.get(), &size) && static_cast<uint64_t>(size.QuadPart) == static_cast<uint64_t>(entry.size);
        if (!whole)
            log_.log(LOG_ERROR, L"Downloaded file '%s' has %I64d bytes, the file list names %d.", target.c_str(),
                     static_cast<long long>(size.QuadPart), entry.size);
    }
    if (!whole) {
        held.release();
        RemoteSource::discardPartial(target);
        return Arrival::Mismatch;
    }
    if (lowerAscii(target) == lowerAscii(localPath(L"")) + lowerKeyFileName() && !usableKeyFile(held)) {
        log_.log(LOG_ERROR, L"The deployment's new key file %s holds no usable key (one key a line: \"ed25519\" and 64 "
                            L"hexadecimal digits); the installation keeps its key file.",
                 target.c_str());
        held.release();
        RemoteSource::discardPartial(target);
        return Arrival::Failed;
    }
    const FILETIME listed = fileTimeOfTicks(entry.timestamp);
    FILETIME lastWrite;
    if (!LocalFileTimeToFileTime(&listed, &lastWrite) || !SetFileTime(held.get(), &now, &now, &lastWrite)) {
        log_.log(LOG_ERROR, L"Error setting timestamp. Error: %s", LastError().text().c_str());
        held.release();
        RemoteSource::discardPartial(target);
        return Arrival::Failed;
    }
    if (!held.renameTo(target)) {
        log_.log(LOG_ERROR, L"Could not put the downloaded file '%s' in place. Error: %s", target.c_str(),
                 LastError().text().c_str());
        held.release();
        RemoteSource::discardPartial(target);
        return Arrival::Failed;
    }
    DeleteFileW(RemoteSource::resumeInfoPath(target).c_str());
    return Arrival::Taken;
}

bool OrnivelSynchronizer::rebuildFromPatch(const FileListFile& entry, const std::string& base,
                                           const std::wstring& target, RemoteSource& patchSource,
                                           uint64_t& patchBytes, ProgressListener* listener) {
    // The patch arrives beside the file; a partial patch left by a broken run is removed with
    // the unlisted files of the next.
    const std::wstring patch = target + L".ornivel-patch";
    const std::wstring remote = L".ornivel-patches/" + fromAnsi(entry.sha256) + L"/" + fromAnsi(base);
    PatchOutcome outcome = PatchOutcome::ReadFailed;
    std::string detail = "the patch could not be fetched";
    if (patchSource.fetch(remote, patch, listener)) {
        const std::wstring fetched = RemoteSource::partialPath(patch);
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (GetFileAttributesExW(fetched.c_str(), GetFileExInfoStandard, &data)) patchBytes = sizeOf(data);
        outcome = rebuildFileFromPatch(target, fetched, RemoteSource::partialPath(target),
                                       static_cast<uint64_t>(entry.size), &detail);
    }
    RemoteSource::discardPartial(patch);
    if (outcome == PatchOutcome::Rebuilt) {
        log_.log(LOG_INFO, L"File '%s' rebuilt from the installed one and a patch of %I64u bytes.", target.c_str(),
                 static_cast<unsigned long long>(patchBytes));
        return true;
    }
    log_.log(LOG_INFO, L"The patch for '%s' is not used (%S: %S); the whole file is fetched.", target.c_str(),
             patchOutcomeText(outcome), detail.c_str());
    return false;
}

bool OrnivelSynchronizer::downloadChangedFiles(FileList serverList, RemoteSource& source, RemoteSource* patchSource,
                                               const SourceMaker& moreSources) {
    if (!serverList.refusedPaths().empty()) return serverListUsable(serverList, localPath(L"TarnFileList.new"));
    const std::vector<FileListFile> files = serverList.files();
    DeleteFileW(L"ornivel.log");

    int percent = 0, extra = 0;
    progress(nullptr, nullptr, nullptr, nullptr, &percent, &extra);
    FILETIME now;
    GetSystemTimeAsFileTime(&now);

    // Comparison pass: the whole download list is known before the first download.
    const std::wstring listFile = localPath(L"TarnFileList.xml");
    const std::wstring listPath = lowerAscii(listFile);
    std::vector<const FileListFile*> downloads;
    // The installed version of a changed file that a patch can start from.
    std::unordered_map<const FileListFile*, std::string> patchBase;
    std::vector<unsigned char> block = fileDigestBuffer();
    FolderListing listing;
    int scanned = 0;
    for (const FileListFile& file : files) {
        const std::wstring target = localPath(file.path);
        if (!hasDigest(file)) {
            ++scanned;
            int scanPercent = static_cast<int>(static_cast<double>(scanned) * 100.0 / static_cast<double>(files.size()));
            progress(nullptr, nullptr, nullptr, nullptr, nullptr, &scanPercent);
        }
        bool changed;
        std::string installed;
        if (patchSource && !file.sha256.empty() && !file.patches.empty() && listedSizeKnown(file)) {
            // The installed file's SHA-256 tells both whether it changed and which version it is.
            ListedFile found;
            UniqueHandle held;
            if (listing.find(target, found) != FolderListing::Lookup::Missing) held = openForReading(target);
            changed = !held || !sha256HexOfHandle(held.get(), block, installed) || installed != file.sha256;
            if (!held) installed.clear();
        } else {
            changed = changedOnDisk(target, file, listing, block);
        }
        if (changed && lowerAscii(target) != listPath && !(mayBeShortName(file.path) && sameExistingFile(target, listFile))) {
            downloads.push_back(&file);
            if (!installed.empty() && patchListed(file.patches, installed)) patchBase[&file] = installed;
        }
    }

    int phase = PHASE_LOADING_FILES;
    int total = static_cast<int>(downloads.size());
    progress(&phase, nullptr, nullptr, &total, nullptr, nullptr);

    const size_t workers = moreSources ? transfersAtOnce() : 1;
    const std::wstring module = modulePath();
    WIN32_FILE_ATTRIBUTE_DATA moduleData;
    const bool moduleSizeKnown = GetFileAttributesExW(module.c_str(), GetFileExInfoStandard, &moduleData) != FALSE;
    int counter = 0;
    std::vector<Transfer> transfers;
    for (const FileListFile* file : downloads) {
        const bool ghostscript = lowerAscii(file->path).find(L"gs.rar") != std::wstring::npos;
        Transfer transfer{file, localPath(file->path), false, ++counter, ghostscript, std::string()};
        if (workers == 1) progress(nullptr, nullptr, &counter, nullptr, nullptr, nullptr);
        if (!prepareTransfer(*file, transfer, block, listing, module, moduleSizeKnown ? &moduleData : nullptr))
            continue;
        const auto base = patchBase.find(file);
        if (base != patchBase.end()) transfer.patchBase = base->second;
        if (workers > 1) {
            transfers.push_back(std::move(transfer));
            continue;
        }
        if (transferFile(transfer, source, patchSource, this, now, block) != Arrival::Taken)
            return false;  // the source or the check has logged why
        noteArrival(transfer);
    }
    return workers == 1 || downloadInParallel(transfers, source, patchSource, moreSources, workers, now);
}

bool OrnivelSynchronizer::prepareTransfer(const FileListFile& file, Transfer& transfer,
                                          std::vector<unsigned char>& block, FolderListing& listing,
                                          const std::wstring& module, const WIN32_FILE_ATTRIBUTE_DATA* moduleData) {
    // The running launcher, also under another spelling of its name (a short name); only an
    // existing file of the launcher's size can be it.
    ListedFile existing;
    const bool exists = listing.lookUp(transfer.target, existing);
    transfer.isSelf = lowerAscii(module) == lowerAscii(transfer.target) ||
                      (exists && (!moduleData || existing.size == sizeOf(*moduleData)) &&
                       sameExistingFile(transfer.target, module));
    DWORD attributes = exists ? existing.attributes : INVALID_FILE_ATTRIBUTES;
    if (transfer.isSelf) {
        transfer.target = withExtension(module, L".tmp");  // where the restart script looks for it
        attributes = GetFileAttributesW(transfer.target.c_str());
    }
    ListedFile partial;
    transfer.continued = listing.lookUp(RemoteSource::partialPath(transfer.target), partial);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
        log_.log(LOG_INFO, L"File '%s' is write protected, skipping.", transfer.target.c_str());
        return false;
    }
    // A new launcher that arrived in an earlier run that could not restart is not fetched
    // again.
    if (transfer.isSelf && attributes != INVALID_FILE_ATTRIBUTES && hasDigest(file)) {
        UniqueHandle arrived = openForReading(transfer.target);
        if (arrived && digestMatches(arrived.get(), file, block)) {
            restartPending_ = true;
            return false;
        }
    }
    return true;
}

OrnivelSynchronizer::Arrival OrnivelSynchronizer::transferFile(Transfer& transfer, RemoteSource& source,
                                                               RemoteSource* patchSource, ProgressListener* listener,
                                                               const FILETIME& now,
                                                               std::vector<unsigned char>& block) {
    // Every file arrives under its partial name and takes its real name only when it is
    // whole: its digest (or, without one, its size) is the listed one. Damaged or altered
    // bytes never stand in its place; the version check would not notice them.
    const FileListFile& file = *transfer.file;
    const std::wstring& target = transfer.target;
    const std::wstring partial = RemoteSource::partialPath(target);
    const bool continued = transfer.continued;
    const bool patchable = patchSource && !transfer.isSelf && !continued && !transfer.patchBase.empty();
    Arrival arrival = Arrival::Failed;
    transfer.patchBytes = 0;
    if (continued && partialComplete(partial, file)) {
        arrival = takeDownloaded(target, file, now, block);  // whole before an interruption
    } else if (patchable &&
               rebuildFromPatch(file, transfer.patchBase, target, *patchSource, transfer.patchBytes, listener) &&
               (arrival = takeDownloaded(target, file, now, block)) != Arrival::Mismatch) {
        // rebuilt; a rebuilt file that does not match is fetched whole below
    } else if (source.fetch(file.path, target, listener, nameBytesOf(file))) {
        transfer.patchBytes = 0;
        arrival = takeDownloaded(target, file, now, block);
    }
    // A continued file that does not match may have been continued from bytes of another
    // version: it is fetched once more from its start.
    if (arrival == Arrival::Mismatch && continued && source.fetch(file.path, target, listener, nameBytesOf(file)))
        arrival = takeDownloaded(target, file, now, block);
    transfer.taken = arrival == Arrival::Taken;
    return arrival;
}

void OrnivelSynchronizer::noteArrival(const Transfer& transfer) {
    ++filesFetched_;
    if (transfer.patchBytes) {
        bytesFetched_ += transfer.patchBytes;
    } else if (listedSizeKnown(*transfer.file)) {
        bytesFetched_ += static_cast<uint64_t>(transfer.file->size);
    }
    restartPending_ |= transfer.isSelf;
    ghostscriptLoaded_ |= transfer.isGhostscript;
}

} // namespace ornivel
