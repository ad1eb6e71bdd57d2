#include "sync/GhostscriptUnpacker.h"

#include <windows.h>

#include <utility>
#include <vector>

#include "common/CommandLine.h"
#include "common/Handles.h"
#include "common/WholeWrite.h"
#include "logdriver/LastError.h"
#include "sync/ExternalPrograms.h"
#include "sync/LocalPaths.h"

namespace ornivel {

std::wstring extractionArguments(const std::wstring& archive, const std::wstring& targetFolder) {
    return L"x -inul " + quoteArgument(archive) + L" " + quoteArgument(targetFolder);
}

const void* extractionToolImage(unsigned long& size) {
    size = 0;
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC resource = FindResourceW(module, L"EXTRACTTOOL", MAKEINTRESOURCEW(10) /* RT_RCDATA */);
    if (!resource) return nullptr;
    HGLOBAL loaded = LoadResource(module, resource);
    const void* image = loaded ? LockResource(loaded) : nullptr;
    if (image) size = SizeofResource(module, resource);
    return image;
}

namespace {

// The archive's folder that is Ghostscript itself.
const wchar_t kGhostscriptFolder[] = L"gs";

bool writeTool(const std::wstring& tool) {
    unsigned long size = 0;
    const void* image = extractionToolImage(size);
    if (!image) return false;
    UniqueHandle file(CreateFileW(tool.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                  nullptr));
    if (!file) return false;
    return writeWhole(file.get(), image, size);
}

bool exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool isFolder(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool sameName(const wchar_t* a, const wchar_t* b) { return CompareStringOrdinal(a, -1, b, -1, TRUE) == CSTR_EQUAL; }

// Calls visit(name, isFolder) -> bool for every entry of `folder` but "." and "..", until one
// returns false. The names are read first, as the visits move entries out of the folder.
// False when the folder could not be read to its end or a visit failed.
template <typename Visit>
bool forEachEntry(const std::wstring& folder, Visit visit) {
    std::vector<std::pair<std::wstring, bool>> entries;
    WIN32_FIND_DATAW found;
    UniqueFindHandle find(FindFirstFileW((folder + L"\\*").c_str(), &found));
    if (!find) return false;
    do {
        if (!sameName(found.cFileName, L".") && !sameName(found.cFileName, L".."))
            entries.emplace_back(found.cFileName, (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0);
    } while (FindNextFileW(find.get(), &found));
    if (GetLastError() != ERROR_NO_MORE_FILES) return false;
    for (const auto& entry : entries)
        if (!visit(entry.first, entry.second)) return false;
    return true;
}

// Puts one unpacked item in place of the item of that name in `target`: the old one is moved
// aside first and comes back when the new one cannot take its place.
bool replaceItem(const std::wstring& unpacked, const std::wstring& target) {
    const std::wstring aside = target + L".old";
    if (!deleteFolder(aside, true)) return false;
    const bool hadOld = exists(target);
    if (hadOld && !MoveFileW(target.c_str(), aside.c_str())) return false;
    if (!MoveFileW(unpacked.c_str(), target.c_str())) {
        const DWORD error = GetLastError();
        if (hadOld) MoveFileW(aside.c_str(), target.c_str());
        SetLastError(error);
        return false;
    }
    if (hadOld) deleteFolder(aside, true);
    return true;
}

// Moves an unpacked file over the file of that name (a read-only one included).
bool replaceFile(const std::wstring& unpacked, const std::wstring& target) {
    const DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) &&
        !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        SetFileAttributesW(target.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    return MoveFileExW(unpacked.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

// Moves every file below `unpacked` to the same place below `target`, making the folders it
// lacks. Files of `target` that the archive does not have stay.
bool mergeFolder(const std::wstring& unpacked, const std::wstring& target) {
    if (!CreateDirectoryW(target.c_str(), nullptr) && !isFolder(target)) return false;
    return forEachEntry(unpacked, [&](const std::wstring& name, bool folder) {
        const std::wstring from = unpacked + L"\\" + name;
        const std::wstring to = target + L"\\" + name;
        return folder ? mergeFolder(from, to) : replaceFile(from, to);
    });
}

// Puts what was unpacked into `staging` in place under `system` (ending in a backslash):
// the Ghostscript folder as a whole, so that no file of an older version stays in it;
// everything else of the archive file by file beside what is there.
bool putUnpackedInPlace(const std::wstring& staging, const std::wstring& system) {
    return forEachEntry(staging, [&](const std::wstring& name, bool folder) {
        const std::wstring from = staging + L"\\" + name;
        const std::wstring to = system + name;
        if (!folder) return replaceFile(from, to);
        if (sameName(name.c_str(), kGhostscriptFolder)) return replaceItem(from, to);
        return mergeFolder(from, to);
    });
}

} // namespace

bool unpackGhostscript(const std::wstring& folder, LogDriver& log) {
    const std::wstring tool = joinLocalPath(folder, L"unrar.exe");
    // The archive is unpacked aside and takes the place of the old files only when the tool
    // reports success, so a failed unpacking leaves the installation as it was.
    const std::wstring staging = joinLocalPath(folder, L"system\\gs.unpack");
    unsigned long exitCode = 0;
    if (!writeTool(tool) || !deleteFolder(staging, true) ||
        !runAndWait(tool, extractionArguments(joinLocalPath(folder, L"system\\gs.rar"), staging + L"\\"), log,
                    &exitCode)) {
        log.log(LOG_ERROR, L"Could not extract Ghostscript. OS Error: %s", LastError().text().c_str());
        return false;
    }
    DeleteFileW(tool.c_str());
    if (exitCode != 0) {
        log.log(LOG_ERROR, L"Could not extract Ghostscript. The extraction tool ended with exit code %lu.", exitCode);
        deleteFolder(staging, true);
        return false;
    }
    if (!putUnpackedInPlace(staging, joinLocalPath(folder, L"system\\"))) {
        log.log(LOG_ERROR, L"Could not extract Ghostscript. OS Error: %s", LastError().text().c_str());
        deleteFolder(staging, true);
        return false;
    }
    deleteFolder(staging, true);
    return true;
}

} // namespace ornivel
