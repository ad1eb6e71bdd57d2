#pragma once
// Shared pieces of the remote-source tests.
#include <string>
#include <vector>

#include "logdriver/LogDriver.h"
#include "remote/ProgressListener.h"
#include "tests/support/TestSupport.h"

namespace ornivel::test {

// Records every report; `percents` holds the percent arguments of percent-only reports.
class RecordingListener : public ProgressListener {
public:
    void progress(const int* phase, const wchar_t* text, const int* current, const int* total, const int* percent,
                  const int* extra) override {
        ++calls;
        if (phase || text || current || total || extra || !percent) ++otherReports;
        if (percent) percents.push_back(*percent);
    }
    int calls = 0;
    int otherReports = 0;
    std::vector<int> percents;
};

// A log driver whose messages are captured.
struct CapturedLog {
    CapturedLog() : log(L"test") { log.addAppender(&appender); }
    CapturingAppender appender;
    LogDriver log;
};

} // namespace ornivel::test

#include <gtest/gtest.h>

#include <algorithm>
#include <cwchar>
#include <functional>

#include "remote/PartialDownload.h"
#include "remote/RemoteSource.h"
#include "tests/support/httpserver/TestHttpServer.h"

namespace ornivel::test {

// One test server for the whole test program; it ends with the program.
inline TestHttpServer& sharedServer() {
    static TestHttpServer server;
    return server;
}

// Messages of one level that start with `prefix`.
inline size_t countPrefix(const CapturingAppender& appender, int level, const std::wstring& prefix) {
    size_t n = 0;
    for (const auto& m : appender.messages) {
        if (m.first == level && m.second.compare(0, prefix.size(), prefix) == 0) ++n;
    }
    return n;
}

inline size_t countLevel(const CapturingAppender& appender, int level) {
    size_t n = 0;
    for (const auto& m : appender.messages) n += m.first == level;
    return n;
}

// --- Resumed downloads, the same for both HTTP sources ----------------------------------------

// The value of a request's header field (name as written by the clients), or "".
inline std::string requestField(const RecordedRequest& request, const std::string& name) {
    const std::string key = "\r\n" + name + ": ";
    const size_t at = request.raw.find(key);
    if (at == std::string::npos) return std::string();
    const size_t from = at + key.size();
    return request.raw.substr(from, request.raw.find("\r\n", from) - from);
}

// Where each request asked to continue from, -1 for a request of the whole file; every range
// request must carry its If-Range.
inline std::vector<int64_t> rangeStarts(const std::vector<RecordedRequest>& requests) {
    std::vector<int64_t> starts;
    for (const auto& request : requests) {
        const std::string range = requestField(request, "Range");
        starts.push_back(range.empty() ? -1 : std::atoll(range.c_str() + 6));  // after "bytes="
        if (!range.empty()) {
            EXPECT_FALSE(requestField(request, "If-Range").empty()) << request.raw;
        }
    }
    return starts;
}

// Bytes that no shifted range can reproduce (unlike patternBytes, whose period is 251).
inline std::string distinctBytes(size_t size, unsigned seed) {
    std::string bytes(size, '\0');
    for (char& c : bytes) {
        seed = seed * 1103515245u + 12345u;
        c = static_cast<char>(seed >> 23);
    }
    return bytes;
}

// The names in a folder, sorted.
inline std::vector<std::wstring> folderNames(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    HANDLE find = ::FindFirstFileW((folder + L"*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        if (wcscmp(data.cFileName, L".") != 0 && wcscmp(data.cFileName, L"..") != 0) names.push_back(data.cFileName);
    } while (::FindNextFileW(find, &data));
    ::FindClose(find);
    std::sort(names.begin(), names.end());
    return names;
}

// One fetch with a new source object (as a later start makes it) from the server's "/app/".
using FetchWithNewSource =
    std::function<bool(const std::wstring& remoteName, const std::wstring& localPath, ProgressListener* listener)>;

// A server that closes the connection after every `drop` body bytes and honours ranges: the
// file arrives whole within one fetch, each request continuing the last, and the server sends
// the file's size in all. Returns the requests for the source's own checks.
inline std::vector<RecordedRequest> expectBrokenLinkBridged(const FetchWithNewSource& fetch) {
    TempFolder served(L"served"), local(L"local");
    const int64_t drop = 64 * 1024, size = 5 * drop + 123;
    const std::string content = distinctBytes(static_cast<size_t>(size), 1);
    served.write(L"f.bin", content);
    HttpAnswer cut;
    cut.dropAfter = drop;
    EXPECT_TRUE(sharedServer().serveFolder("/app/", served.path(), cut));
    RecordingListener listener;
    EXPECT_TRUE(fetch(L"f.bin", local / L"f.bin", &listener));
    EXPECT_TRUE(readFileBytes(RemoteSource::partialPath(local / L"f.bin")) == content);
    // One suffix, never two; a file this small keeps its resume information in memory only,
    // and none stays once it is whole.
    EXPECT_EQ(folderNames(local.path()), (std::vector<std::wstring>{L"f.bin.ornivel-download"}));
    EXPECT_EQ(sharedServer().bodyBytesSent(), size);
    const auto requests = sharedServer().requests();
    EXPECT_EQ(rangeStarts(requests), (std::vector<int64_t>{-1, drop, 2 * drop, 3 * drop, 4 * drop, 5 * drop}));
    EXPECT_FALSE(listener.percents.empty());
    for (size_t i = 1; i < listener.percents.size(); ++i) EXPECT_LE(listener.percents[i - 1], listener.percents[i]);
    EXPECT_EQ(listener.otherReports, 0);
    return requests;
}

// A server that answers a range request with the whole file: the file starts over and still
// arrives whole.
inline void expectIgnoredRangeStartsOver(const FetchWithNewSource& fetch) {
    TempFolder served(L"served"), local(L"local");
    const std::string content = distinctBytes(300000, 2);
    served.write(L"g.bin", content);
    HttpAnswer cut, whole;
    cut.unixFile = whole.unixFile = unixPathOf(served / L"g.bin");
    cut.dropAfter = 100000;
    whole.ignoreRange = true;
    sharedServer().route("/app/g.bin", {cut, whole});
    EXPECT_TRUE(fetch(L"g.bin", local / L"g.bin", nullptr));
    EXPECT_TRUE(readFileBytes(RemoteSource::partialPath(local / L"g.bin")) == content);
    EXPECT_EQ(rangeStarts(sharedServer().requests()), (std::vector<int64_t>{-1, 100000}));
    EXPECT_EQ(sharedServer().bodyBytesSent(), 100000 + 300000);
}

// What one start leaves is continued by the next: a partial file with its resume information
// is continued with a range request; a complete one that never took its name is asked for
// again whole (416, then the whole file); a changed file on the server replaces it; one
// without resume information starts over.
inline void expectResumeAcrossStarts(const FetchWithNewSource& fetch) {
    TempFolder served(L"served"), local(L"local");
    const std::wstring target = local / L"h.bin";
    const std::wstring partial = RemoteSource::partialPath(target);
    // Large enough that a whole download keeps its resume information on disk; a smaller one
    // gets it only when it breaks off.
    const int64_t whole = static_cast<int64_t>(PartialDownload::kResumeInfoAfterBytes) + 200000;
    std::string content = distinctBytes(static_cast<size_t>(whole), 3);
    served.write(L"h.bin", content);
    HttpAnswer file, cut;
    file.unixFile = cut.unixFile = unixPathOf(served / L"h.bin");
    cut.dropAfter = 70000;
    const auto serve = [&](const std::vector<HttpAnswer>& answers) {
        sharedServer().clear();
        sharedServer().route("/app/h.bin", answers);
    };

    // A start that ends after 70000 bytes (then the server fails) keeps them.
    serve({cut, HttpAnswer::withStatus(404, "gone")});
    EXPECT_FALSE(fetch(L"h.bin", target, nullptr));
    EXPECT_EQ(folderNames(local.path()), (std::vector<std::wstring>{L"h.bin.ornivel-download", L"h.bin.ornivel-resume"}));
    EXPECT_TRUE(readFileBytes(partial) == content.substr(0, 70000));

    serve({file});
    EXPECT_TRUE(fetch(L"h.bin", target, nullptr));
    EXPECT_TRUE(readFileBytes(partial) == content);
    EXPECT_EQ(rangeStarts(sharedServer().requests()), std::vector<int64_t>{70000});
    EXPECT_EQ(sharedServer().bodyBytesSent(), whole - 70000);

    serve({file});
    EXPECT_TRUE(fetch(L"h.bin", target, nullptr));
    EXPECT_TRUE(readFileBytes(partial) == content);
    EXPECT_EQ(rangeStarts(sharedServer().requests()), (std::vector<int64_t>{whole, -1}));

    content = distinctBytes(static_cast<size_t>(whole) + 50000, 4);
    served.write(L"h.bin", content);
    serve({file});
    EXPECT_TRUE(fetch(L"h.bin", target, nullptr));
    EXPECT_TRUE(readFileBytes(partial) == content);
    EXPECT_EQ(rangeStarts(sharedServer().requests()), std::vector<int64_t>{whole});  // answered whole

    ::DeleteFileW(RemoteSource::resumeInfoPath(target).c_str());
    serve({file});
    EXPECT_TRUE(fetch(L"h.bin", target, nullptr));
    EXPECT_TRUE(readFileBytes(partial) == content);
    EXPECT_EQ(rangeStarts(sharedServer().requests()), std::vector<int64_t>{-1});
}

} // namespace ornivel::test
