#include "ArchiveExtraction.h"

#include <memory>

#include <archive.h>
#include <archive_entry.h>

#include "ExtractionFiles.h"
#include "common/RelativePath.h"

namespace ornivel::extract {

namespace {

struct ArchiveCloser {
    void operator()(archive* a) const { archive_read_free(a); }
};

std::wstring entryName(archive_entry* entry) {
    const wchar_t* wide = archive_entry_pathname_w(entry);
    if (wide) return wide;
    return widenSystemText(archive_entry_pathname(entry));
}

std::wstring parentOf(const std::wstring& path) {
    auto cut = path.find_last_of(L'\\');
    return cut == std::wstring::npos ? std::wstring() : path.substr(0, cut);
}

} // namespace

ExtractResult extractArchive(const std::wstring& archivePath, const std::wstring& targetFolder,
                             const std::function<void(const std::wstring&)>& report) {
    auto say = [&](const std::wstring& line) {
        if (report) report(line);
    };
    std::wstring target = targetFolder;
    if (target.empty() || (target.back() != L'\\' && target.back() != L'/')) target += L'\\';
    if (!createFolders(target.substr(0, target.size() - 1))) {
        say(L"Cannot create the target folder " + target);
        return EXTRACT_ARCHIVE_FAILED;
    }

    std::unique_ptr<archive, ArchiveCloser> a(archive_read_new());
    archive_read_support_format_rar(a.get());
    archive_read_support_format_rar5(a.get());
    if (archive_read_open_filename_w(a.get(), archivePath.c_str(), 64 * 1024) != ARCHIVE_OK) {
        say(L"Cannot open " + archivePath + L": " + widenSystemText(archive_error_string(a.get())));
        return EXTRACT_ARCHIVE_FAILED;
    }

    ExtractResult result = EXTRACT_OK;
    archive_entry* entry = nullptr;
    for (;;) {
        int status = archive_read_next_header(a.get(), &entry);
        if (status == ARCHIVE_EOF) break;
        if (status < ARCHIVE_WARN) {
            say(L"Cannot read " + archivePath + L": " + widenSystemText(archive_error_string(a.get())));
            return EXTRACT_ARCHIVE_FAILED;
        }
        std::wstring name = entryName(entry);
        const CheckedPath relative = checkRelativePath(name);
        if (!relative.ok()) {
            say(L"Refused entry " + name + L": its name " + pathFaultText(relative.fault) + L".");
            result = EXTRACT_ENTRY_FAILED;
            continue;
        }
        std::wstring path = target + relative.path;
        mode_t type = archive_entry_filetype(entry);
        if (type == AE_IFDIR) {
            if (!createFolders(path)) {
                say(L"Cannot create folder " + path);
                result = EXTRACT_ENTRY_FAILED;
            }
            continue;
        }
        if (type != AE_IFREG || archive_entry_hardlink(entry) || archive_entry_symlink(entry)) {
            say(L"Skipped entry that is no plain file: " + name);  // links are not made
            continue;
        }
        if (!createFolders(parentOf(path)) || !writeEntryData(a.get(), entry, path)) {
            say(L"Cannot extract " + name + L": " + widenSystemText(archive_error_string(a.get())));
            result = EXTRACT_ENTRY_FAILED;
        }
    }
    return result;
}

} // namespace ornivel::extract
