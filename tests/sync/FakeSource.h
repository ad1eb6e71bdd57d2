#pragma once
// A remote source for tests: serves files from memory and records what was asked.
#include <windows.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "remote/RemoteSource.h"
#include "filelist/FileList.h"

namespace ornivel::test {

class FakeSource : public RemoteSource {
public:
    FakeSource();
    // Writes the file's bytes to the partial file of `localPath`.
    bool fetch(std::wstring remoteName, std::wstring localPath, ProgressListener* listener,
               NameBytes nameBytes = NameBytes::Utf8) override;

    std::map<std::wstring, std::string> files;  // by remote name as given
    std::set<std::wstring> failing;
    std::vector<std::wstring> requested;
    std::vector<std::wstring> localPaths;
};

// Records every complete state a listener receives.
struct ProgressRecord {
    int phase, current, total, percent, extra;
    std::wstring text;
};
class ProgressRecorder : public ProgressListener {
public:
    void progress(const int* phase, const wchar_t* text, const int* current, const int* total, const int* percent,
                  const int* extra) override;
    std::vector<ProgressRecord> records;
    bool nullSeen = false;
};

// A list entry for bytes: local-time timestamp from a UTC text, checksum optional.
FileListFile entryFor(const std::wstring& path, const std::string& bytes, const std::string& timestampGmt,
                      bool withChecksum);
FILETIME localFileTimeOf(const std::string& timestampGmt);

} // namespace ornivel::test
