#include "FakeSource.h"

#include <cstdio>

#include "common/FileTimes.h"
#include "filelist/Md5.h"
#include "tests/support/TestSupport.h"
#include "tests/support/deployserver/TestDeploymentServer.h"

namespace ornivel::test {

FakeSource::FakeSource() : RemoteSource(LogDriver(L"fake")) {}

bool FakeSource::fetch(std::wstring remoteName, std::wstring localPath, ProgressListener* listener, NameBytes) {
    requested.push_back(remoteName);
    localPaths.push_back(localPath);
    auto it = files.find(remoteName);
    if (failing.count(remoteName) || it == files.end()) return false;
    writeFileBytes(partialPath(localPath), it->second);
    int percent = 100;
    if (listener) listener->progress(nullptr, nullptr, nullptr, nullptr, &percent, nullptr);
    return true;
}

void ProgressRecorder::progress(const int* phase, const wchar_t* text, const int* current, const int* total,
                                const int* percent, const int* extra) {
    if (!phase || !text || !current || !total || !percent || !extra) {
        nullSeen = true;
        return;
    }
    records.push_back(ProgressRecord{*phase, *current, *total, *percent, *extra, text});
}

FILETIME localFileTimeOf(const std::string& timestampGmt) {
    FILETIME utc = utcFileTimeOf(timestampGmt), local{};
    FileTimeToLocalFileTime(&utc, &local);
    return local;
}

FileListFile entryFor(const std::wstring& path, const std::string& bytes, const std::string& timestampGmt,
                      bool withChecksum) {
    std::wstring checksum;
    if (withChecksum) {
        std::string text = md5HexOfBytes(bytes);
        checksum.assign(text.begin(), text.end());
    }
    return FileListFile(path, checksum, static_cast<int>(bytes.size()), ticksOfFileTime(localFileTimeOf(timestampGmt)));
}

} // namespace ornivel::test
