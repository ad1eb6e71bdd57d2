// Synchronisation runs on disks that refuse: a full disk, a folder nothing may be written to,
// a file held open by another program. Each run fails or skips with a clear message, loses
// nothing, and the next run, once the disk lets it, converges.
#include <gtest/gtest.h>

#include "common/Handles.h"
#include "common/Text.h"
#include "remote/RemoteSource.h"
#include "sync/OrnivelSynchronizer.h"
#include "tests/support/TestSupport.h"
#include "tests/support/deployserver/TestDeploymentServer.h"
#include "tests/support/windows/WindowDriver.h"

namespace ornivel {
namespace {

using test::HttpAnswer;
using test::TempFolder;

class HostileDisk : public ::testing::Test {
protected:
    HostileDisk() { log_.addAppender(&capture_); }
    ~HostileDisk() override { RegDeleteTreeW(HKEY_CURRENT_USER, test::testRegistryKey(L"disk").c_str()); }

    void deploy(const std::wstring& installation) {
        server_.putFile(L"module\\a.jar", "module a, new");
        server_.putFile(L"module\\big.jar", std::string(3 << 20, 'b'));
        server_.publish();
        server_.writeServerFile(installation);
        server_.http().routePrefix("/check/clientChecksum%3d", {HttpAnswer::ok(server_.serverRecord("http"))});
    }
    bool run(const std::wstring& installation) {
        capture_.messages.clear();
        test::WorkingFolder cd(installation);
        OrnivelSynchronizer sync(false, installation, log_, false);
        return sync.synchronizeFolder(test::testRegistryKey(L"disk") + L"\\", L"");
    }
    bool loggedPrefix(int level, const std::wstring& prefix) const { return capture_.hasPrefix(level, prefix); }
    std::string messages() const {
        std::wstring text;
        for (const auto& [level, message] : capture_.messages) text += std::to_wstring(level) + L" " + message + L"\n";
        return toUtf8(text);
    }
    void expectNoPartialFiles(const std::wstring& installation) {
        for (const auto& [path, bytes] : test::filesBelow(installation)) {
            (void)bytes;
            EXPECT_FALSE(RemoteSource::isPartialDownload(path)) << testing::PrintToString(path);
        }
    }
    void expectConverged(const std::wstring& installation) {
        EXPECT_EQ(test::readFileBytes(installation + L"module\\a.jar"), "module a, new");
        EXPECT_EQ(test::readFileBytes(installation + L"module\\big.jar"), std::string(3 << 20, 'b'));
        EXPECT_FALSE(test::fileExists(installation + L"module\\old.jar"));
        expectNoPartialFiles(installation);
    }

    test::CapturingAppender capture_;
    LogDriver log_{L"ornivel"};
    test::TestDeploymentServer server_;
};

// Total bytes of the file system that holds `folder`.
ULONGLONG diskSize(const std::wstring& folder) {
    ULARGE_INTEGER available, total, free;
    return GetDiskFreeSpaceExW(folder.c_str(), &available, &total, &free) ? total.QuadPart : 0;
}

TEST_F(HostileDisk, AFullDiskFailsTheRunAndTheNextOneConverges) {
    TempFolder mountPoint(L"small-disk");
    const std::wstring unixMount = fromUtf8(test::unixPathOf(mountPoint.path()));
    // A file system of 2 MiB (needs the right to mount; skipped where there is none).
    test::startUnixProgram(L"\\bin\\mount", L"mount -t tmpfs -o size=2m tmpfs \"" + unixMount + L"\"");
    if (!test::waitUntil([&] { return diskSize(mountPoint.path()) == (2u << 20); }, 5000))
        GTEST_SKIP() << "no small file system can be mounted here";
    struct Unmount {
        std::wstring path;
        ~Unmount() { test::runUnixProgram(L"/bin/umount -l \"" + path + L"\""); }
    } unmount{unixMount};

    const std::wstring inst = mountPoint / L"inst\\";
    test::writeFileBytes(inst + L"module\\a.jar", "module a, old");
    test::writeFileBytes(inst + L"module\\old.jar", "outdated");
    deploy(inst);
    EXPECT_FALSE(run(inst));
    EXPECT_TRUE(capture_.has(LOG_FATAL, L"An error occured while retrieving automatic updates: \r\nDownloading files "
                                        L"failed.\r\n\r\nSee log file for details."));
    EXPECT_TRUE(loggedPrefix(LOG_ERROR, L"Error writing file: "));
    EXPECT_EQ(test::readFileBytes(inst + L"module\\a.jar"), "module a, new");  // before the disk filled up
    EXPECT_FALSE(test::fileExists(inst + L"module\\big.jar"));
    expectNoPartialFiles(inst);

    test::startUnixProgram(L"\\bin\\mount", L"mount -o remount,size=16m \"" + unixMount + L"\"");
    ASSERT_TRUE(test::waitUntil([&] { return diskSize(mountPoint.path()) == (16u << 20); }, 5000));
    EXPECT_TRUE(run(inst));
    expectConverged(inst);
}

TEST_F(HostileDisk, AFolderNothingMayBeWrittenToFailsTheRunAndTheNextOneConverges) {
    TempFolder inst(L"locked-folder");
    inst.write(L"module\\a.jar", "module a, old");
    inst.write(L"module\\old.jar", "outdated");
    deploy(inst.path());
    const std::wstring unixModule = fromUtf8(test::unixPathOf(inst / L"module"));
    // Immutable: not even the owner may add, change or remove a file in it.
    test::startUnixProgram(L"\\usr\\bin\\chattr", L"chattr +i \"" + unixModule + L"\"");
    const bool locked = test::waitUntil([&] {
        HANDLE probe = CreateFileW((inst / L"module\\probe").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
        if (probe == INVALID_HANDLE_VALUE) return true;
        CloseHandle(probe);
        DeleteFileW((inst / L"module\\probe").c_str());
        return false;
    }, 5000);
    if (!locked) GTEST_SKIP() << "no immutable folders here";
    EXPECT_FALSE(run(inst.path()));
    // (Wine reports the deletion as done and leaves the file; Windows refuses it.)
    EXPECT_TRUE(loggedPrefix(LOG_ERROR, L"Could not delete file old.jar. Error: ") ||
                capture_.has(LOG_FATAL, L"An error occured while retrieving automatic updates: \r\nDownloading files "
                                        L"failed.\r\n\r\nSee log file for details."))
        << messages();
    EXPECT_EQ(inst.read(L"module\\a.jar"), "module a, old");
    EXPECT_EQ(inst.read(L"module\\old.jar"), "outdated");
    expectNoPartialFiles(inst.path());

    test::startUnixProgram(L"\\usr\\bin\\chattr", L"chattr -i \"" + unixModule + L"\"");
    ASSERT_TRUE(test::waitUntil([&] { return DeleteFileW((inst / L"module\\probe").c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND; },
                                5000));
    EXPECT_TRUE(run(inst.path()));
    expectConverged(inst.path());
}

TEST_F(HostileDisk, AJarHeldOpenByAnotherProgramFailsTheRunAndTheNextOneConverges) {
    TempFolder inst(L"held-open");
    inst.write(L"module\\a.jar", "module a, old");
    deploy(inst.path());
    {
        // A sibling client keeps its JAR open without sharing it.
        UniqueHandle held(CreateFileW((inst / L"module\\a.jar").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(held);
        EXPECT_FALSE(run(inst.path()));
        EXPECT_TRUE(loggedPrefix(LOG_ERROR, L"Could not put the downloaded file '" + inst.path() + L"module\\a.jar' in place. Error: "));
        EXPECT_TRUE(capture_.has(LOG_FATAL, L"An error occured while retrieving automatic updates: \r\nDownloading files "
                                            L"failed.\r\n\r\nSee log file for details."));
    }
    EXPECT_EQ(inst.read(L"module\\a.jar"), "module a, old");
    expectNoPartialFiles(inst.path());
    EXPECT_TRUE(run(inst.path()));
    expectConverged(inst.path());
}

} // namespace
} // namespace ornivel
