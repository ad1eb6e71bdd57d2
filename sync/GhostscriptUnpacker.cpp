#include "sync/GhostscriptUnpacker.h"

#include <windows.h>

#include "common/Handles.h"
#include "logdriver/LastError.h"
#include "sync/ExternalPrograms.h"
#include "sync/LocalPaths.h"

namespace ornivel {

std::wstring extractionArguments(const std::wstring& archive, const std::wstring& targetFolder) {
    return L"x -inul \"" + archive + L"\" \"" + targetFolder + L"\"";
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
    DWORD written = 0;
    return WriteFile(file.get(), image, size, &written, nullptr) && written == size;
}

} // namespace

bool unpackGhostscript(const std::wstring& folder, LogDriver& log) {
    log.log(LOG_INFO, L"UnRARing Ghostscript...");
    std::wstring tool = joinLocalPath(folder, L"unrar.exe");
    if (writeTool(tool) && deleteFolder(joinLocalPath(folder, L"system\\gs"), true) &&
        runAndWait(tool, extractionArguments(joinLocalPath(folder, L"system\\gs.rar"),
                                             joinLocalPath(folder, L"system\\")),
                   log)) {
        DeleteFileW(tool.c_str());
        return true;
    }
    log.log(LOG_ERROR, L"Could not extract Ghostscript. OS Error: %s", LastError().text().c_str());
    return false;
}

} // namespace ornivel
