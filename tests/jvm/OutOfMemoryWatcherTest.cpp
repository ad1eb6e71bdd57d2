// The out-of-memory watcher of a host program (it carries the program-wide watcher).
#include <gtest/gtest.h>

#include "common/Text.h"
#include "tests/jvm/JvmHostRun.h"
#include "tests/support/windows/ChildProcess.h"
#include "tests/support/windows/WindowDriver.h"

using namespace ornivel;
using namespace ornivel::test;

namespace {

std::wstring dumpName(DWORD processId) { return formatWide(L"java_pid%lu.hprof", processId); }

// The host started with its first thread stopped, so that a file can be put in place
// before its static initialisation runs.
struct SuspendedHost {
    PROCESS_INFORMATION info{};
    explicit SuspendedHost(const std::wstring& folder) {
        std::wstring commandLine = L"\"" + jvmHostPath() + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        CreateProcessW(jvmHostPath().c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                       folder.c_str(), &startup, &info);
    }
    ~SuspendedHost() {
        if (!info.hProcess) return;
        TerminateProcess(info.hProcess, 999);
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
    }
};

} // namespace

TEST(OutOfMemoryWatcher, OwnHeapDumpEndsTheProcessWithZero) {
    TempFolder installation;
    installation.write(L"jvmhost.script", "sleep\t20000\n");
    ChildProcess host(jvmHostPath(), L"", installation.path());
    ASSERT_TRUE(host.started());
    // The host's log file appears once its entry runs, after the watcher has started (and
    // removed any dump of its id): a dump written earlier would be removed, too.
    ASSERT_TRUE(waitUntil([&] { return installation.exists(L"jvmhost.log"); }, 15000));
    installation.write(dumpName(host.id()), "JAVA PROFILE 1.0.2");
    HWND box = waitForMessageBox(host.id(), 20000);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(windowText(box), L"Out Of Memory");
    EXPECT_EQ(messageBoxText(box), L"Ornivel has run out of memory. Press OK to terminate.");
    EXPECT_FALSE(messageBoxShowsIcon(box));
    // The process waits for the user.
    DWORD code = 0;
    EXPECT_FALSE(host.waitForExit(300, code));
    answerMessageBox(box, IDOK);
    ASSERT_TRUE(host.waitForExit(5000, code));
    EXPECT_EQ(code, 0u);
    EXPECT_TRUE(installation.exists(dumpName(host.id())));  // the dump stays
}

TEST(OutOfMemoryWatcher, AnotherProcessDumpIsIgnored) {
    TempFolder installation;
    installation.write(L"jvmhost.script", "sleep\t2500\n");
    ChildProcess host(jvmHostPath(), L"", installation.path());
    ASSERT_TRUE(host.started());
    installation.write(dumpName(host.id() + 4), "JAVA PROFILE 1.0.2");
    EXPECT_EQ(waitForMessageBox(host.id(), 2200), nullptr);
    DWORD code = 0;
    ASSERT_TRUE(host.waitForExit(10000, code));
    EXPECT_EQ(code, 3u);
    EXPECT_TRUE(installation.exists(dumpName(host.id() + 4)));
}

TEST(OutOfMemoryWatcher, LeftoverDumpOfTheOwnIdIsDeletedAtStart) {
    TempFolder installation;
    installation.write(L"jvmhost.script", "sleep\t2500\n");
    SuspendedHost host(installation.path());
    ASSERT_NE(host.info.hProcess, nullptr);
    const DWORD id = host.info.dwProcessId;
    installation.write(dumpName(id), "left over");
    ResumeThread(host.info.hThread);
    EXPECT_EQ(waitForMessageBox(id, 2200), nullptr);
    EXPECT_FALSE(installation.exists(dumpName(id)));
    ASSERT_EQ(WaitForSingleObject(host.info.hProcess, 10000), WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeProcess(host.info.hProcess, &code);
    EXPECT_EQ(code, 3u);
}
