#pragma once
// A place files are downloaded from: one operation, download one named file to a path.
#include <string>

#include "logdriver/LogDriver.h"
#include "remote/ProgressListener.h"

namespace ornivel {

class RemoteSource {
public:
    explicit RemoteSource(const LogDriver& log) : log_(log) {}
    virtual ~RemoteSource() = default;
    RemoteSource(const RemoteSource&) = delete;
    RemoteSource& operator=(const RemoteSource&) = delete;

    // Downloads `remoteName` (relative to the server's deployment root, "\" or "/" as
    // separator) to `localPath` (full path, replaced when it exists), creating missing
    // folders first and reporting the percentage through `listener` (may be null).
    // True when the file has been written; every failure is logged.
    virtual bool download(std::wstring remoteName, std::wstring localPath, ProgressListener* listener) = 0;

    // Creates the missing folders of a file's path, outermost first, logging each one.
    // False when one cannot be created (the thread's last error tells why); folders made
    // before that stay. The folder of the previous file is known to exist: files of one
    // folder follow each other, and nothing removes folders while a download pass runs.
    bool createParentDirectories(const std::wstring& localPath);

    // A download is written under this name beside its file and takes the file's name only
    // when it is whole, so an interrupted download never stands under a real name.
    static std::wstring partialPath(const std::wstring& localPath) { return localPath + kPartialSuffix; }
    static bool isPartialDownload(const std::wstring& name);
    static constexpr const wchar_t* kPartialSuffix = L".ornivel-download";

protected:
    // The common start of an HTTP download: "/" separators in the remote name, the
    // "Downloading file" line, and the local file's folders. False (logged) when a folder
    // cannot be created.
    bool beginHttpDownload(std::wstring& remoteName, const std::wstring& localPath);

    // Gives the whole partial file its real name, replacing the file there. False (logged at
    // error, the partial file removed, the thread's last error kept) when it cannot.
    bool commitDownload(const std::wstring& localPath);

    LogDriver log_;

private:
    std::wstring knownFolder_;  // the folder found or made for the previous file
};

} // namespace ornivel
