// The extraction tool carried in the program, and the Ghostscript unpacking of a run.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include "FakeSource.h"
#include "tests/support/rar/RarFixture.h"
#include "common/Text.h"
#include "sync/ExternalPrograms.h"
#include "sync/GhostscriptUnpacker.h"
#include "sync/OrnivelSynchronizer.h"
#include "tests/support/TestSupport.h"
#include "tests/support/deployserver/TestDeploymentServer.h"

namespace ornivel {
namespace {

using test::CapturingAppender;
using test::RarEntry;
using test::TempFolder;

// Writes the carried tool and runs it on an archive; returns its exit code.
DWORD runTool(const TempFolder& folder, const std::wstring& archive, const std::wstring& target) {
    unsigned long size = 0;
    const void* image = extractionToolImage(size);
    EXPECT_NE(image, nullptr);
    folder.write(L"tool.exe", std::string(static_cast<const char*>(image), size));
    test::ProcessResult result =
        test::runProgram(folder / L"tool.exe", extractionArguments(archive, target), folder.path());
    EXPECT_TRUE(result.started);
    return result.exitCode;
}

TEST(ExtractionTool, ExtractsDebiansRarTestArchiveWithItsFolders) {
    TempFolder folder(L"tool");
    std::wstring archive = test::libarchiveTestArchive("test_read_format_rar.rar");
    ASSERT_TRUE(test::fileExists(archive));
    EXPECT_EQ(runTool(folder, archive, folder / L"out\\"), 0u);
    EXPECT_EQ(folder.read(L"out\\test.txt"), "test text document\r\n");
    EXPECT_EQ(folder.read(L"out\\testdir\\test.txt"), "test text document\r\n");
    EXPECT_TRUE(GetFileAttributesW((folder / L"out\\testemptydir").c_str()) & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_FALSE(folder.exists(L"out\\testlink"));  // links are not made

    // A compressed archive of the newer format.
    EXPECT_EQ(runTool(folder, test::libarchiveTestArchive("test_read_format_rar5_compressed.rar"), folder / L"five"),
              0u);
    EXPECT_EQ(test::filesBelow(folder / L"five").size(), 1u);
}

TEST(ExtractionTool, RefusesEntriesOutsideItsTarget) {
    TempFolder folder(L"tool");
    folder.write(L"evil.rar", test::storedRarArchive({{"../escaped.txt", "x"},
                                                      {"gs\\..\\..\\escaped2.txt", "x"},
                                                      {"gs\\ok.txt", "fine"}}));
    folder.makeFolder(L"target");
    EXPECT_EQ(runTool(folder, folder / L"evil.rar", folder / L"target\\"), 3u);
    EXPECT_EQ(folder.read(L"target\\gs\\ok.txt"), "fine");
    EXPECT_FALSE(folder.exists(L"escaped.txt"));
    EXPECT_FALSE(folder.exists(L"escaped2.txt"));
    // A damaged archive ends with its own status.
    folder.write(L"broken.rar", "Rar!\x1a\x07\x00garbage");
    EXPECT_EQ(runTool(folder, folder / L"broken.rar", folder / L"target\\"), 2u);
}

TEST(ExternalPrograms, DeleteFolderCountsAMissingFolderAsDeleted) {
    TempFolder folder(L"del");
    folder.write(L"gs\\a\\b.txt", "x");
    EXPECT_TRUE(deleteFolder(folder / L"gs", true));
    EXPECT_FALSE(folder.exists(L"gs"));
    EXPECT_TRUE(deleteFolder(folder / L"gs", true));
    EXPECT_TRUE(folderDeletionSucceeded(124));
    EXPECT_FALSE(folderDeletionSucceeded(5));
    // Neither way asks the user anything, an error included.
    for (bool permanently : {true, false}) EXPECT_EQ(shellDeleteFlags(permanently) & FOF_NO_UI, FOF_NO_UI);
}

TEST(ExternalPrograms, RunAndWaitWaitsForTheProgram) {
    TempFolder folder(L"run");
    LogDriver log(L"ornivel");
    CapturingAppender capture;
    log.addAppender(&capture);
    std::wstring cmd = L"C:\\windows\\system32\\cmd.exe";
    EXPECT_TRUE(runAndWait(cmd, L"/c echo done> \"" + (folder / L"out.txt") + L"\"", log));
    EXPECT_EQ(folder.read(L"out.txt"), "done\r\n");
    EXPECT_TRUE(capture.hasPrefix(LOG_DEBUG, L"Executing: \"C:\\windows\\system32\\cmd.exe\" /c echo done> "));
    EXPECT_FALSE(runAndWait(folder / L"missing.exe", L"", log));
}

TEST(Ghostscript, ArchiveFromTheServerIsUnpackedIntoSystemGs) {
    TempFolder inst(L"gs");
    test::WorkingFolder cd(inst.path());
    inst.write(L"system\\gs\\stale.txt", "from the old version");
    test::TestDeploymentServer server;
    const std::string rar = test::storedRarArchive({{"gs", "", true},
                                                    {"gs\\bin\\gsdll.dll", std::string(5000, 'd')},
                                                    {"gs\\lib\\init.ps", "%!PS\n"},
                                                    {"gs\\fonts", "", true}});
    server.putFile(L"system\\gs.rar", rar);
    server.publish();
    server.writeServerFile(inst.path());
    server.answerVersionCheck(inst.path(), server.serverRecord("http"));

    LogDriver log(L"ornivel");
    CapturingAppender capture;
    log.addAppender(&capture);
    OrnivelSynchronizer sync(false, inst.path(), log, false);
    test::ProgressRecorder recorder;
    sync.addListener(&recorder);
    // The unpacking is logged before its progress phase is shown.
    struct LoggedBeforePhase : ProgressListener {
        explicit LoggedBeforePhase(const CapturingAppender& c) : capture(c) {}
        void progress(const int* phase, const wchar_t*, const int*, const int*, const int*, const int*) override {
            if (*phase == PHASE_DECOMPRESSING && !seen) {
                seen = true;
                logged = capture.has(LOG_INFO, L"UnRARing Ghostscript...");
            }
        }
        const CapturingAppender& capture;
        bool seen = false, logged = false;
    } order(capture);
    sync.addListener(&order);
    ASSERT_TRUE(sync.synchronizeFolder(test::testRegistryKey(L"gs") + L"\\", L""));
    RegDeleteTreeW(HKEY_CURRENT_USER, test::testRegistryKey(L"gs").c_str());

    EXPECT_TRUE(order.seen && order.logged);
    EXPECT_TRUE(capture.has(LOG_DEBUG, L"Executing: \"" + inst.path() + L"unrar.exe\" x -inul \"" + inst.path() +
                                           L"system\\gs.rar\" \"" + inst.path() + L"system\\gs.unpack\\\\\""));
    EXPECT_EQ(recorder.records.back().phase, PHASE_DECOMPRESSING);
    EXPECT_FALSE(inst.exists(L"system\\gs\\stale.txt"));
    EXPECT_EQ(inst.read(L"system\\gs\\bin\\gsdll.dll"), std::string(5000, 'd'));
    EXPECT_EQ(inst.read(L"system\\gs\\lib\\init.ps"), "%!PS\n");
    EXPECT_TRUE(inst.exists(L"system\\gs\\fonts"));
    EXPECT_EQ(inst.read(L"system\\gs.rar"), rar);
    EXPECT_FALSE(inst.exists(L"unrar.exe"));
}

TEST(Ghostscript, ReplacesOnlyGhostscriptAndMergesTheRestOfTheArchive) {
    TempFolder inst(test::kEverydayFolderName);
    inst.write(L"system\\gs\\bin\\old.dll", "from the old version");
    inst.write(L"system\\jar\\other.jar", "not in the archive");
    inst.write(L"system\\jar\\extra.jar", "older extra");
    SetFileAttributesW((inst / L"system\\jar\\extra.jar").c_str(), FILE_ATTRIBUTE_READONLY);
    inst.write(L"system\\gs.rar", test::storedRarArchive({{"gs\\bin\\gsdll.dll", "new dll"},
                                                          {"jar\\extra.jar", "new extra"},
                                                          {"fonts\\sub\\x.pfb", "font"},
                                                          {"readme.txt", "top"}}));
    LogDriver log(L"ornivel");
    ASSERT_TRUE(unpackGhostscript(inst.path(), log));
    EXPECT_FALSE(inst.exists(L"system\\gs\\bin\\old.dll"));  // Ghostscript is replaced whole
    EXPECT_EQ(inst.read(L"system\\gs\\bin\\gsdll.dll"), "new dll");
    EXPECT_EQ(inst.read(L"system\\jar\\other.jar"), "not in the archive");  // the rest is merged
    EXPECT_EQ(inst.read(L"system\\jar\\extra.jar"), "new extra");
    EXPECT_EQ(inst.read(L"system\\fonts\\sub\\x.pfb"), "font");
    EXPECT_EQ(inst.read(L"system\\readme.txt"), "top");
    EXPECT_FALSE(inst.exists(L"system\\gs.unpack"));
    EXPECT_FALSE(inst.exists(L"system\\gs.old"));
}

TEST(Ghostscript, AFailedUnpackingIsDueAgainOnTheNextRun) {
    TempFolder inst(L"gs");
    test::WorkingFolder cd(inst.path());
    test::TestDeploymentServer server;
    server.putFile(L"system\\gs.rar", "Rar!\x1a\x07\x00damaged");
    server.publish();
    server.writeServerFile(inst.path());
    server.answerVersionCheck(inst.path(), server.serverRecord("http"));
    for (int run = 0; run < 2; ++run) {
        LogDriver log(L"ornivel");
        CapturingAppender capture;
        log.addAppender(&capture);
        OrnivelSynchronizer sync(false, inst.path(), log, false);
        EXPECT_TRUE(sync.synchronizeFolder(test::testRegistryKey(L"gs-due") + L"\\", L"")) << run;
        EXPECT_TRUE(capture.has(LOG_INFO, L"UnRARing Ghostscript...")) << run;
        EXPECT_FALSE(inst.exists(L"system\\gs.rar.unpacked")) << run;  // not recorded as unpacked
    }
    RegDeleteTreeW(HKEY_CURRENT_USER, test::testRegistryKey(L"gs-due").c_str());
}

TEST(Ghostscript, AFailedUnpackingLeavesTheOldGhostscriptInPlace) {
    TempFolder inst(test::kEverydayFolderName);
    inst.write(L"system\\gs\\bin\\gsdll.dll", "the working version");
    inst.write(L"system\\gs.rar", "Rar!\x1a\x07\x00damaged");
    LogDriver log(L"ornivel");
    CapturingAppender capture;
    log.addAppender(&capture);
    EXPECT_FALSE(unpackGhostscript(inst.path(), log));
    EXPECT_TRUE(capture.has(LOG_ERROR, L"Could not extract Ghostscript. The extraction tool ended with exit code 2."));
    EXPECT_EQ(inst.read(L"system\\gs\\bin\\gsdll.dll"), "the working version");
    EXPECT_FALSE(inst.exists(L"system\\gs.unpack"));
    EXPECT_FALSE(inst.exists(L"unrar.exe"));
    // A file where the archive has a folder stops the merge: reported, and due again.
    inst.write(L"system\\fonts", "a file");
    inst.write(L"system\\gs.rar", test::storedRarArchive({{"fonts\\x.pfb", "font"}}));
    EXPECT_FALSE(unpackGhostscript(inst.path(), log));
    EXPECT_TRUE(capture.hasPrefix(LOG_ERROR, L"Could not extract Ghostscript. OS Error: "));
    EXPECT_FALSE(inst.exists(L"system\\gs.unpack"));
}

TEST(Ghostscript, AToolThatCannotBeWrittenIsReportedAndTheRunGoesOn) {
    TempFolder inst(L"gs");
    inst.makeFolder(L"unrar.exe");  // a folder stands where the tool should go
    LogDriver log(L"ornivel");
    CapturingAppender capture;
    log.addAppender(&capture);
    EXPECT_FALSE(unpackGhostscript(inst.path(), log));
    EXPECT_TRUE(capture.hasPrefix(LOG_ERROR, L"Could not extract Ghostscript. OS Error: "));
}

} // namespace
} // namespace ornivel
