// Deleting files that the server list no longer names, and fetching the files that are
// missing or differ, with the server's timestamps.
#include <windows.h>

#include <cstdio>
#include <vector>

#include "common/Handles.h"
#include "common/Text.h"
#include "logdriver/LastError.h"
#include "remote/RemoteSource.h"
#include "sync/FileIdentity.h"
#include "sync/FileList.h"
#include "sync/LocalPaths.h"
#include "sync/Md5.h"
#include "sync/OrnivelSynchronizer.h"

namespace ornivel {

namespace {

// Folders in which every file the server list does not name is removed.
bool isManagedFolder(const std::wstring& lowerSubfolder) {
    return lowerSubfolder == L"module\\" || lowerSubfolder == L"system\\jar\\" ||
           lowerSubfolder == L"system\\jobs\\" || lowerSubfolder == L"java_17.0.1\\";
}

bool checksumDiffers(const std::wstring& path, const std::wstring& checksum) {
    FILE* file = _wfopen(path.c_str(), L"rb");
    if (!file) return true;
    return fromAnsi(md5HexOfFile(file)) != checksum;  // the digest closes the file
}

// The check after a download reads in large blocks: it is not bound to the digest's own
// 1,024-byte file reading, and a first synchronisation checks every byte it fetched.
bool downloadMatches(const std::wstring& path, const std::wstring& checksum) {
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return false;
    MD5 digest;
    std::vector<unsigned char> block(256 * 1024);
    DWORD got = 0;
    while (ReadFile(file.get(), block.data(), static_cast<DWORD>(block.size()), &got, nullptr) && got > 0)
        digest.update(block.data(), got);
    digest.finalize();
    return fromAnsi(digest.hex_digest()) == checksum;
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
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (name.find(L'.') != std::wstring::npos) continue;  // ".", ".." and dotted folders
            // Junctions and folder links lead elsewhere: the walk stays inside the installation.
            if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) continue;
            if (!deleteUnusedFiles(subfolder + name + L"\\", serverList, localList)) return false;
            continue;
        }
        const std::wstring relative = subfolder + name;
        // A download interrupted by an earlier run left its partial file behind.
        const bool unused = managed ? !serverList.contains(subfolder + lowerAscii(name))
                                    : !serverList.contains(relative) &&
                                          (localList.contains(relative) || RemoteSource::isPartialDownload(name));
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

bool OrnivelSynchronizer::changedOnDisk(const std::wstring& target, const std::wstring& checksum, int size,
                                        const FILETIME& timestamp) {
    if (!checksum.empty()) return checksumDiffers(target, checksum);
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(target.c_str(), GetFileExInfoStandard, &data)) return true;
    FILETIME localWrite;
    if (data.nFileSizeLow != static_cast<DWORD>(size) || !FileTimeToLocalFileTime(&data.ftLastWriteTime, &localWrite))
        return true;
    return !sameFileTime(localWrite, timestamp);
}

bool OrnivelSynchronizer::downloadChangedFiles(FileList serverList, RemoteSource& source) {
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
    int scanned = 0;
    for (const FileListFile& file : files) {
        const std::wstring target = localPath(file.path);
        if (file.checksum.empty()) {
            ++scanned;
            int scanPercent = static_cast<int>(static_cast<double>(scanned) * 100.0 / static_cast<double>(files.size()));
            progress(nullptr, nullptr, nullptr, nullptr, nullptr, &scanPercent);
        }
        if (changedOnDisk(target, file.checksum, file.size, file.timestamp) && lowerAscii(target) != listPath &&
            !(mayBeShortName(file.path) && sameExistingFile(target, listFile)))
            downloads.push_back(&file);
    }

    int phase = PHASE_LOADING_FILES;
    int total = static_cast<int>(downloads.size());
    progress(&phase, nullptr, nullptr, &total, nullptr, nullptr);

    const std::wstring module = modulePath();
    const std::wstring self = lowerAscii(module);
    int counter = 0;
    for (const FileListFile* file : downloads) {
        std::wstring target = localPath(file->path);
        ++counter;
        progress(nullptr, nullptr, &counter, nullptr, nullptr, nullptr);

        // The running launcher, also under another spelling of its name (a short name).
        const bool isSelf = self == lowerAscii(target) || sameExistingFile(target, module);
        if (isSelf) target = withExtension(module, L".tmp");  // where the restart script looks for it

        DWORD attributes = GetFileAttributesW(target.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
            log_.log(LOG_INFO, L"File '%s' is write protected, skipping.", target.c_str());
            continue;
        }
        // A file with a checksum arrives under its partial name and takes its real name only
        // when it matches: damaged or altered bytes never stand in its place (the version check
        // would not notice them, and the next run would take them for the listed file).
        const bool staged = !file->checksum.empty();
        const std::wstring arriving = staged ? RemoteSource::partialPath(target) : target;
        if (!source.download(file->path, arriving, this)) return false;  // the source has logged why

        // A file that arrived damaged must not be taken for the listed one.
        if (!file->checksum.empty() && !downloadMatches(arriving, file->checksum)) {
            log_.log(LOG_ERROR, L"Downloaded file '%s' does not match its checksum.", target.c_str());
            if (staged) DeleteFileW(arriving.c_str());
            return false;
        }
        if (staged && !MoveFileExW(arriving.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) {
            log_.log(LOG_ERROR, L"Could not put the downloaded file '%s' in place. Error: %s", target.c_str(),
                     LastError().text().c_str());
            DeleteFileW(arriving.c_str());
            return false;
        }

        UniqueHandle written(CreateFileW(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!written) continue;  // no timestamp and no flags for it, but no failure either
        FILETIME lastWrite;
        if (!LocalFileTimeToFileTime(&file->timestamp, &lastWrite) ||
            !SetFileTime(written.get(), &now, &now, &lastWrite)) {
            log_.log(LOG_ERROR, L"Error setting timestamp. Error: %s", LastError().text().c_str());
            return false;
        }
        restartPending_ |= isSelf;
        ghostscriptLoaded_ |= lowerAscii(file->path).find(L"gs.rar") != std::wstring::npos;
    }
    return true;
}

} // namespace ornivel
