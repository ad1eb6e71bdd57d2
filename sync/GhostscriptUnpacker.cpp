#include "sync/GhostscriptUnpacker.h"

#include <windows.h>

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

// Moves everything unpacked into `staging` to the same names in `target`.
bool replaceWithUnpacked(const std::wstring& staging, const std::wstring& target) {
    WIN32_FIND_DATAW found;
    UniqueFindHandle find(FindFirstFileW((staging + L"\\*").c_str(), &found));
    if (!find) return false;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        if (!replaceItem(staging + L"\\" + name, target + name)) return false;
    } while (FindNextFileW(find.get(), &found));
    return true;
}

} // namespace

bool unpackGhostscript(const std::wstring& folder, LogDriver& log) {
    log.log(LOG_INFO, L"UnRARing Ghostscript...");
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
    if (!replaceWithUnpacked(staging, joinLocalPath(folder, L"system\\"))) {
        log.log(LOG_ERROR, L"Could not extract Ghostscript. OS Error: %s", LastError().text().c_str());
        deleteFolder(staging, true);
        return false;
    }
    deleteFolder(staging, true);
    return true;
}

} // namespace ornivel
