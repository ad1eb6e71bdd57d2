#pragma once
// A place files are downloaded from: one operation, download one named file to a path.
#include <string>

#include "logdriver/LogDriver.h"
#include "remote/ProgressListener.h"

namespace ornivel {

// The bytes a remote name has on the server, which its URL carries percent-encoded: the
// name's UTF-8 bytes, or, for a name the file list did not hold as UTF-8 (it was read through
// the ANSI code page), its bytes in that code page, which are the list's own.
enum class NameBytes { Utf8, Ansi };

class RemoteSource {
public:
    explicit RemoteSource(const LogDriver& log) : log_(log) {}
    virtual ~RemoteSource() = default;
    RemoteSource(const RemoteSource&) = delete;
    RemoteSource& operator=(const RemoteSource&) = delete;

    // Brings `remoteName` (relative to the server's deployment root, "\" or "/" as separator)
    // whole into partialPath(`localPath`) and leaves it there, so that the caller can check it
    // before it takes its name (commitDownload, or the caller's own step). Creates the missing
    // folders first, logs "Downloading file" with `localPath` itself, and reports the
    // percentage through `listener` (may be null). A partial file that an earlier attempt or
    // start left there is continued where the source can prove it is the same file, and
    // replaced otherwise. True when the partial file holds the whole file; every failure is
    // logged, and a partial file that can be continued later stays.
    virtual bool fetch(std::wstring remoteName, std::wstring localPath, ProgressListener* listener,
                       NameBytes nameBytes = NameBytes::Utf8) = 0;

    // Downloads `remoteName` to `localPath` (replaced when it exists): fetch, then the whole
    // partial file takes the name. True when the file has been written; every failure is
    // logged.
    virtual bool download(std::wstring remoteName, std::wstring localPath, ProgressListener* listener);

    // The bytes `remoteName` has on the server (see NameBytes), before percent-encoding.
    static std::string serverBytesOf(const std::wstring& remoteName, NameBytes nameBytes);

    // Creates the missing folders of a file's path, outermost first, logging each one.
    // False when one cannot be created (the thread's last error tells why); folders made
    // before that stay. The folder of the previous file is known to exist: files of one
    // folder follow each other, and nothing removes folders while a download pass runs.
    bool createParentDirectories(const std::wstring& localPath);

    // A download is written under this name beside its file and takes the file's name only
    // when it is whole, so an interrupted download never stands under a real name.
    static std::wstring partialPath(const std::wstring& localPath) { return localPath + kPartialSuffix; }
    // What proves a partial file to be the start of the same remote file (the validator of
    // the answer that began it), kept beside it while it waits to be continued.
    static std::wstring resumeInfoPath(const std::wstring& localPath) { return localPath + kResumeSuffix; }
    // Whether a file name is a partial download or its resume information.
    static bool isPartialDownload(const std::wstring& name);
    // The name of the file a partial download (or its resume information) is for; empty for
    // other names.
    static std::wstring realNameOfPartial(const std::wstring& name);
    // Removes a partial download of `localPath` and its resume information.
    static void discardPartial(const std::wstring& localPath);
    static constexpr const wchar_t* kPartialSuffix = L".ornivel-download";
    static constexpr const wchar_t* kResumeSuffix = L".ornivel-resume";

    // Gives the whole partial file its real name, replacing the file there, and forgets its
    // resume information. False (logged at error, the partial file removed, the thread's last
    // error kept) when it cannot.
    bool commitDownload(const std::wstring& localPath);

protected:
    // The common start of an HTTP download: "/" separators in the remote name, the
    // "Downloading file" line, and the local file's folders. False (logged) when a folder
    // cannot be created.
    bool beginHttpDownload(std::wstring& remoteName, const std::wstring& localPath);

    LogDriver log_;

private:
    std::wstring knownFolder_;  // the folder found or made for the previous file
};

} // namespace ornivel
