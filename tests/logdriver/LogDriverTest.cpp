#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "common/Handles.h"
#include "common/Text.h"
#include "logdriver/LogDriver.h"
#include "tests/support/TestSupport.h"

namespace ornivel {
namespace {

using test::CapturingAppender;

TEST(LogDriver, FormatsWithWideAndNarrowStringConventions) {
    CapturingAppender appender;
    LogDriver log(L"t");
    log.addAppender(&appender);
    log.log(LOG_INFO, L"%s|%S|%hs|%d|%08x|%I64d", L"wide", "narrow", "hs", -5, 255u, 123456789012LL);
    ASSERT_EQ(appender.messages.size(), 1u);
    EXPECT_EQ(appender.messages[0].second, L"wide|narrow|hs|-5|000000ff|123456789012");
}

TEST(LogDriver, AppendersGetTheDriverNameAndAreCalledInOrder) {
    CapturingAppender first(0, L"%s:%m"), second(0, L"%s/%m");
    EXPECT_EQ(first.source(), L"unknown");
    LogDriver log(L"ornivel");
    log.addAppender(&first);
    log.addAppender(&second);
    EXPECT_TRUE(log.log(LOG_DEBUG, L"x"));
    EXPECT_EQ(first.lines.at(0), L"ornivel:x");
    EXPECT_EQ(second.lines.at(0), L"ornivel/x");
}

TEST(LogDriver, ThresholdDecidesWhatIsWritten) {
    CapturingAppender info(LOG_INFO), unknown(250);
    LogDriver log(L"t");
    log.addAppender(&info);
    log.addAppender(&unknown);
    log.log(LOG_DEBUG, L"below every threshold");
    log.log(250, L"odd level");
    log.log(LOG_ERROR, L"error");
    ASSERT_EQ(info.messages.size(), 2u);
    EXPECT_EQ(info.lines[0], L"unknown|odd level");
    ASSERT_EQ(unknown.messages.size(), 2u);
    EXPECT_EQ(unknown.messages[1].second, L"error");
}

TEST(LogDriver, EmptyNameBehavesLikeTheDefault) {
    EXPECT_EQ(LogDriver(L"").name(), LogDriver().name());
    EXPECT_NE(LogDriver().name().find(L"LogDriver"), std::wstring::npos);
}

TEST(LogDriver, CopiesShareAppendersButNotLaterRegistrations) {
    CapturingAppender a, b;
    LogDriver log(L"t");
    log.addAppender(&a);
    LogDriver copy = log;
    log.addAppender(&b);
    copy.log(LOG_INFO, L"from copy");
    EXPECT_EQ(a.messages.size(), 1u);
    EXPECT_TRUE(b.messages.empty());

    // A copy with a capped severity hands more severe messages on at the cap, the rest as they are.
    copy.capSeverity(LOG_DEBUG);
    copy.log(LOG_FATAL, L"Error 404 While calling URL: /patch");
    log.log(LOG_FATAL, L"from the original");
    ASSERT_EQ(a.messages.size(), 3u);
    EXPECT_EQ(a.messages[1].first, LOG_DEBUG);
    EXPECT_EQ(a.messages[2].first, LOG_FATAL);
}

TEST(LogDriver, LongMessagesAreCutAtTheBuffer) {
    CapturingAppender appender;
    LogDriver log(L"t");
    log.addAppender(&appender);
    std::wstring huge(40000, L'x');
    log.log(LOG_INFO, L"%s", huge.c_str());
    ASSERT_EQ(appender.messages.size(), 1u);
    EXPECT_EQ(appender.messages[0].second.size(), LogDriver::kMessageCapacity - 1);
}

TEST(LogDriver, ConcurrentCallsDoNotInterleave) {
    CapturingAppender appender;
    LogDriver log(L"t");
    log.addAppender(&appender);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&log, t] {
            for (int i = 0; i < 500; ++i) log.log(LOG_INFO, L"thread %d message %d %s", t, i, L"abcdefghijklmnop");
        });
    for (auto& th : threads) th.join();
    ASSERT_EQ(appender.messages.size(), 2000u);
    for (const auto& m : appender.messages) EXPECT_EQ(m.second.substr(m.second.size() - 16), L"abcdefghijklmnop");
}

TEST(FileLogAppender, WritesAnsiLinesWithCrLfAndTruncatesOnEachStart) {
    test::TempFolder folder(L"log");
    std::wstring file = folder / L"launcher.log";
    {
        CFileLogAppender appender(LOG_INFO, file, L"%e|%m");
        LogDriver log(L"t");
        log.addAppender(&appender);
        log.log(LOG_INFO, L"first run");
    }
    CFileLogAppender appender(LOG_INFO, file, L"%e|%m");
    LogDriver log(L"t");
    log.addAppender(&appender);
    log.log(LOG_DEBUG, L"below threshold");
    log.log(LOG_ERROR, L"second run");
    // Flushed per line: readable while the appender still holds the file open.
    EXPECT_EQ(folder.read(L"launcher.log"), "error  |second run\r\n");
}

#ifdef _WIN32
// A debug output viewer (the protocol every one of them speaks: a shared buffer and two
// events) that starts while the program runs gets its lines, also after lines that went
// nowhere because nobody listened. The viewer is seen by every process of the session, so
// it runs on a thread of its own and hands the buffer back at once after any line, also
// after lines of other programs running at the same time.
TEST(ConsoleLogAppender, DebuggerLinesReachAViewerStartedLater) {
    CConsoleLogAppender appender(true, LOG_DEBUG, L"%e|%m");
    LogDriver log(L"t");
    log.addAppender(&appender);
    log.log(LOG_INFO, L"nobody listens");

    UniqueHandle mutex(CreateMutexW(nullptr, FALSE, L"DBWinMutex"));
    UniqueHandle buffer(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, L"DBWIN_BUFFER"));
    UniqueHandle bufferReady(CreateEventW(nullptr, FALSE, TRUE, L"DBWIN_BUFFER_READY"));
    UniqueHandle dataReady(CreateEventW(nullptr, FALSE, FALSE, L"DBWIN_DATA_READY"));
    UniqueHandle ownLineSeen(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    ASSERT_TRUE(buffer && bufferReady && dataReady && ownLineSeen);
    const auto* view = static_cast<const char*>(MapViewOfFile(buffer.get(), FILE_MAP_READ, 0, 0, 4096));
    ASSERT_NE(view, nullptr);
    std::atomic<bool> stop{false};
    std::string ownLine;
    std::thread viewer([&] {
        while (!stop) {
            if (WaitForSingleObject(dataReady.get(), 20) != WAIT_OBJECT_0) continue;
            if (*reinterpret_cast<const DWORD*>(view) == GetCurrentProcessId() && ownLine.empty()) {
                ownLine = std::string(view + sizeof(DWORD), strnlen(view + sizeof(DWORD), 4096 - sizeof(DWORD)));
                SetEvent(ownLineSeen.get());
            }
            SetEvent(bufferReady.get());
        }
    });
    // The viewer is noticed within a bounded time; until then lines may still go nowhere.
    bool seen = false;
    for (int i = 0; i < 300 && !seen; ++i) {
        log.log(LOG_INFO, L"viewer line %d", i);
        seen = WaitForSingleObject(ownLineSeen.get(), 10) == WAIT_OBJECT_0;
    }
    stop = true;
    viewer.join();
    // A program that took the buffer while the viewer stopped must not wait for it.
    SetEvent(bufferReady.get());
    ASSERT_TRUE(seen);
    EXPECT_EQ(ownLine.rfind("info   |viewer line ", 0), 0u) << ownLine;
    UnmapViewOfFile(view);
}
#endif

TEST(FileLogAppender, UnopenableFileDropsLinesSilently) {
    CFileLogAppender appender(LOG_DEBUG, L"Q:\\no\\such\\folder\\x.log", L"%m");
    EXPECT_TRUE(appender.append(LOG_ERROR, L"lost"));
}

} // namespace
} // namespace ornivel
