// Rebuilding a file from a patch on Windows: the installed file and the target as mapped
// views, so that neither is copied into the process's own memory.
#include <windows.h>

#include "common/Handles.h"
#include "sync/PatchRebuild.h"

namespace ornivel {

namespace {

struct ViewTraits {
    using Value = void*;
    static Value invalid() noexcept { return nullptr; }
    static bool isValid(Value v) noexcept { return v != nullptr; }
    static void close(Value v) noexcept { ::UnmapViewOfFile(v); }
};
using UniqueView = UniqueResource<ViewTraits>;

std::string lastErrorText(const char* what) {
    return std::string(what) + " (error " + std::to_string(::GetLastError()) + ")";
}

// Whether a file lies in a network folder (a share, or a drive letter mapped to one).
bool onNetwork(const std::wstring& path) {
    if (path.compare(0, 8, L"\\\\?\\UNC\\") == 0) return true;
    if (path.compare(0, 2, L"\\\\") == 0 && path.compare(0, 4, L"\\\\?\\") != 0) return true;
    wchar_t root[MAX_PATH + 1];
    if (!::GetVolumePathNameW(path.c_str(), root, MAX_PATH + 1)) return false;
    return ::GetDriveTypeW(root) == DRIVE_REMOTE;
}

class FilePatchReader : public PatchReader {
public:
    explicit FilePatchReader(HANDLE file) : file_(file) {}
    long long read(void* into, size_t capacity) override {
        DWORD got = 0;
        const DWORD wanted = capacity > (1u << 20) ? (1u << 20) : static_cast<DWORD>(capacity);
        if (!::ReadFile(file_, into, wanted, &got, nullptr)) return -1;
        return got;
    }

private:
    HANDLE file_;
};

PatchOutcome rebuildFiles(const std::wstring& basePath, const std::wstring& patchPath, const std::wstring& targetPath,
                          uint64_t targetSize, std::string* detail) {
    auto failed = [detail](PatchOutcome outcome, std::string text) {
        if (detail) *detail = std::move(text);
        return outcome;
    };
    if (onNetwork(basePath) || onNetwork(targetPath))
        return failed(PatchOutcome::FileFailed, "the installation is in a network folder");
    UniqueHandle base(::CreateFileW(basePath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER baseSize{};
    if (!base || !::GetFileSizeEx(base.get(), &baseSize))
        return failed(PatchOutcome::FileFailed, lastErrorText("the installed file cannot be read"));
    if (!patchSpanFits(static_cast<uint64_t>(baseSize.QuadPart), targetSize))
        return failed(PatchOutcome::TooLarge, "the files exceed the limit for patches");
    UniqueHandle patchFile(::CreateFileW(patchPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                         FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!patchFile) return failed(PatchOutcome::ReadFailed, lastErrorText("the patch cannot be opened"));

    // Empty files have no view: an empty span stands for them.
    UniqueHandle baseMapping;
    UniqueView baseView;
    if (baseSize.QuadPart > 0) {
        baseMapping.reset(::CreateFileMappingW(base.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
        if (baseMapping) baseView.reset(::MapViewOfFile(baseMapping.get(), FILE_MAP_READ, 0, 0, 0));
        if (!baseView) return failed(PatchOutcome::FileFailed, lastErrorText("the installed file cannot be mapped"));
    }

    UniqueHandle target(::CreateFileW(targetPath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!target) return failed(PatchOutcome::FileFailed, lastErrorText("the new file cannot be made"));
    LARGE_INTEGER end;
    end.QuadPart = static_cast<LONGLONG>(targetSize);
    if (!::SetFilePointerEx(target.get(), end, nullptr, FILE_BEGIN) || !::SetEndOfFile(target.get()))
        return failed(PatchOutcome::FileFailed, lastErrorText("the new file cannot be given its size"));
    UniqueHandle targetMapping;
    UniqueView targetView;
    if (targetSize > 0) {
        targetMapping.reset(::CreateFileMappingW(target.get(), nullptr, PAGE_READWRITE, 0, 0, nullptr));
        if (targetMapping) targetView.reset(::MapViewOfFile(targetMapping.get(), FILE_MAP_WRITE, 0, 0, 0));
        if (!targetView) return failed(PatchOutcome::FileFailed, lastErrorText("the new file cannot be mapped"));
    }

    FilePatchReader reader(patchFile.get());
    const std::string_view baseBytes(static_cast<const char*>(baseView.get()), static_cast<size_t>(baseSize.QuadPart));
    const PatchOutcome outcome = rebuildFromPatch(baseBytes, reader, static_cast<unsigned char*>(targetView.get()),
                                                  static_cast<size_t>(targetSize), detail);
    // The written pages reach the file through the cache, as written bytes do; the file's
    // clusters were taken when it was given its size, so a full disk has shown already.
    return outcome;
}

} // namespace

PatchOutcome rebuildFileFromPatch(const std::wstring& basePath, const std::wstring& patchPath,
                                  const std::wstring& targetPath, uint64_t targetSize, std::string* detail) {
    const PatchOutcome outcome = rebuildFiles(basePath, patchPath, targetPath, targetSize, detail);
    if (outcome != PatchOutcome::Rebuilt) ::DeleteFileW(targetPath.c_str());
    return outcome;
}

} // namespace ornivel
