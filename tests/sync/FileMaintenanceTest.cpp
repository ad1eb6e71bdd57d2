// Deleting unused files and fetching changed ones, against a source in memory.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>

#include "FakeSource.h"
#include "filelist/ListSignature.h"
#include "tools/publish/PatchWriter.h"
#include "common/Text.h"
#include "remote/RemoteSource.h"
#include "filelist/FileList.h"
#include "sync/OrnivelSynchronizer.h"
#include "tests/support/TestSupport.h"
#include "tests/support/deployserver/TestDeploymentServer.h"

namespace ornivel {
namespace {

using test::CapturingAppender;
using test::entryFor;
using test::FakeSource;
using test::TempFolder;

const char kTime[] = "01.02.2024 10:00:00";

class FileMaintenance : public ::testing::Test {
protected:
    FileMaintenance() : cd_(inst_.path()) {
        log_.addAppender(&capture_);
        sync_ = std::make_unique<OrnivelSynchronizer>(false, inst_.path(), log_, false);
    }

    // Puts a file in place with the listed last-write time.
    void placeFile(const std::wstring& path, const std::string& bytes, const std::string& timestampGmt = kTime) {
        inst_.write(path, bytes);
        HANDLE h = CreateFileW((inst_ / path).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        FILETIME t = test::utcFileTimeOf(timestampGmt);
        SetFileTime(h, nullptr, nullptr, &t);
        CloseHandle(h);
    }
    void serve(FileList& list, const std::wstring& path, const std::string& bytes, bool withChecksum = true,
               const std::string& time = kTime) {
        list.insert(entryFor(path, bytes, time, withChecksum));
        source_.files[path] = bytes;
    }

    TempFolder inst_{L"maint"};
    test::WorkingFolder cd_;
    CapturingAppender capture_;
    LogDriver log_{L"ornivel"};
    std::unique_ptr<OrnivelSynchronizer> sync_;
    FakeSource source_;
};

TEST_F(FileMaintenance, ManagedFoldersLoseEveryUnlistedFileOtherFoldersOnlyFormerlyListedOnes) {
    FileList server, local;
    server.insert(entryFor(L"module\\keep.jar", "k", kTime, true));
    server.insert(entryFor(L"lib\\Keep.txt", "k", kTime, true));
    for (const wchar_t* path : {L"module\\keep.jar", L"module\\old.jar", L"module\\sub\\old.jar",
                                L"module\\sub\\listed-before.jar", L"module\\my.dir\\old.jar", L"system\\jar\\x.jar",
                                L"system\\jobs\\j.xml", L"java_17.0.1\\release", L"java_17.0.1\\bin\\java.dll",
                                L"log\\launcher.log", L"lib\\keep.txt", L"lib\\gone.txt", L"Module2\\a.jar"})
        inst_.write(path, "x");
    local.insert(entryFor(L"module\\sub\\listed-before.jar", "x", kTime, false));
    local.insert(entryFor(L"LIB\\GONE.TXT", "x", kTime, false));

    ASSERT_TRUE(sync_->deleteUnusedFiles(L"", server, local));
    for (const wchar_t* gone : {L"module\\old.jar", L"module\\sub\\listed-before.jar", L"system\\jar\\x.jar",
                                L"system\\jobs\\j.xml", L"lib\\gone.txt"})
        EXPECT_FALSE(inst_.exists(gone)) << gone;
    // The runtime folder is managed, but its name has a dot, and such folders are never entered.
    for (const wchar_t* kept : {L"java_17.0.1\\release", L"module\\keep.jar", L"module\\sub\\old.jar", L"module\\my.dir\\old.jar",
                                L"java_17.0.1\\bin\\java.dll", L"log\\launcher.log", L"lib\\keep.txt",
                                L"Module2\\a.jar"})
        EXPECT_TRUE(inst_.exists(kept)) << kept;
    EXPECT_TRUE(capture_.has(LOG_INFO, L"Deleting file 'old.jar'"));
}

TEST_F(FileMaintenance, AFileThatCannotBeDeletedStopsTheWalk) {
    FileList server, local;
    inst_.write(L"module\\locked.jar", "x");
    HANDLE lock = CreateFileW((inst_ / L"module\\locked.jar").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0,
                              nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(sync_->deleteUnusedFiles(L"", server, local));
    CloseHandle(lock);
    EXPECT_TRUE(capture_.hasPrefix(LOG_ERROR, L"Could not delete file locked.jar. Error: "));
}

TEST_F(FileMaintenance, ComparesFirstThenFetchesOnlyWhatDiffers) {
    FileList server;
    serve(server, L"module\\same.jar", "same bytes");
    placeFile(L"module\\same.jar", "same bytes", "05.05.2020 10:00:00");  // checksum decides, not the time
    serve(server, L"module\\changed.jar", "new bytes");
    placeFile(L"module\\changed.jar", "old bytes");
    serve(server, L"module\\missing.jar", "fresh");
    serve(server, L"lib\\plain.txt", "1234", false);
    placeFile(L"lib\\plain.txt", "abcd", "01.02.2024 10:00:59");  // same size, 59 s later: unchanged
    serve(server, L"lib\\late.txt", "1234", false);
    placeFile(L"lib\\late.txt", "abcd", "01.02.2024 10:01:01");  // 61 s later: changed
    serve(server, L"lib\\resized.txt", "12345", false);
    placeFile(L"lib\\resized.txt", "abcd");
    serve(server, L"lib\\Mixed.TXT", "1234", false);
    placeFile(L"lib\\mixed.txt", "abcd");  // found whatever the letter case
    serve(server, L"gone\\plain.txt", "1234", false);  // in a folder that does not exist
    server.insert(entryFor(L"TarnFileList.xml", "list", kTime, true));  // the list itself is never fetched
    inst_.write(L"TarnFileList.xml", "the local list");
    std::wstring shortList(MAX_PATH, L'\0');
    shortList.resize(GetShortPathNameW((inst_ / L"TarnFileList.xml").c_str(), shortList.data(), MAX_PATH));
    server.insert(entryFor(shortList.substr(shortList.find_last_of(L'\\') + 1), "list", kTime, true));  // nor by its short name

    test::ProgressRecorder recorder;
    sync_->addListener(&recorder);
    ASSERT_TRUE(sync_->downloadChangedFiles(server, source_));
    std::vector<std::wstring> expected = {L"gone\\plain.txt", L"lib\\late.txt", L"lib\\resized.txt",
                                          L"module\\changed.jar", L"module\\missing.jar"};
    EXPECT_EQ(source_.requested, expected);
    EXPECT_EQ(inst_.read(L"module\\changed.jar"), "new bytes");
    EXPECT_EQ(inst_.read(L"lib\\plain.txt"), "abcd");
    EXPECT_FALSE(recorder.nullSeen);
    ASSERT_FALSE(recorder.records.empty());
    EXPECT_EQ(recorder.records.back().phase, PHASE_LOADING_FILES);
    EXPECT_EQ(recorder.records.back().total, 5);
    EXPECT_EQ(recorder.records.back().current, 5);
    EXPECT_EQ(recorder.records.back().extra, 50);  // 5 of 10 entries have no checksum
}

TEST_F(FileMaintenance, TimestampsAreTheListedWriteTimeAndNowForCreationAndAccess) {
    FileList server;
    serve(server, L"module\\a.jar", "aaa", true, "03.04.2021 05:06:07");
    FILETIME before;
    GetSystemTimeAsFileTime(&before);
    ASSERT_TRUE(sync_->downloadChangedFiles(server, source_));
    WIN32_FILE_ATTRIBUTE_DATA data{};
    ASSERT_TRUE(GetFileAttributesExW((inst_ / L"module\\a.jar").c_str(), GetFileExInfoStandard, &data));
    FILETIME listed = test::utcFileTimeOf("03.04.2021 05:06:07");
    EXPECT_EQ(CompareFileTime(&data.ftLastWriteTime, &listed), 0);
    // (Wine keeps no creation time of its own on Linux file systems, so only access is checked.)
    EXPECT_GE(CompareFileTime(&data.ftLastAccessTime, &before), 0);
}

TEST_F(FileMaintenance, ExtraCountsTheEntriesWithoutChecksum) {
    FileList server;
    serve(server, L"a.txt", "a");
    serve(server, L"b.txt", "b", false);
    serve(server, L"c.txt", "c");
    test::ProgressRecorder recorder;
    sync_->addListener(&recorder);
    ASSERT_TRUE(sync_->downloadChangedFiles(server, source_));
    bool saw33 = false;
    for (const auto& r : recorder.records) saw33 |= r.extra == 33;
    EXPECT_TRUE(saw33);
}

TEST_F(FileMaintenance, ReadOnlyTargetIsSkippedAndGhostscriptIsNoticed) {
    FileList server;
    serve(server, L"module\\ro.jar", "new");
    placeFile(L"module\\ro.jar", "old");
    SetFileAttributesW((inst_ / L"module\\ro.jar").c_str(), FILE_ATTRIBUTE_READONLY);
    serve(server, L"System\\GS.RAR", "rar");
    ASSERT_TRUE(sync_->downloadChangedFiles(server, source_));
    SetFileAttributesW((inst_ / L"module\\ro.jar").c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(inst_.read(L"module\\ro.jar"), "old");
    EXPECT_TRUE(capture_.has(LOG_INFO, L"File '" + inst_.path() + L"module\\ro.jar' is write protected, skipping."));
    EXPECT_TRUE(sync_->ghostscriptLoaded());
    EXPECT_FALSE(sync_->restartPending());
}

TEST_F(FileMaintenance, TheRunningExecutableArrivesBesideItAsTmpUnderAnySpelling) {
    const std::wstring exe = modulePath();
    const std::wstring folder = exe.substr(0, exe.find_last_of(L'\\') + 1);
    const std::wstring name = exe.substr(folder.size());
    std::wstring shortPath(MAX_PATH, L'\0');
    shortPath.resize(GetShortPathNameW(exe.c_str(), shortPath.data(), MAX_PATH));
    const std::wstring shortName = shortPath.substr(shortPath.find_last_of(L'\\') + 1);
    const std::wstring tmp = folder + name.substr(0, name.size() - 4) + L".tmp";
    for (const std::wstring& spelling : {name, L".\\" + name, shortName}) {
        OrnivelSynchronizer beside(false, folder, log_, false);
        FileList server;
        server.insert(entryFor(spelling, "new launcher", kTime, true));
        source_.files[server.files().at(0).path] = "new launcher";
        source_.localPaths.clear();
        ASSERT_TRUE(beside.downloadChangedFiles(server, source_)) << spelling;
        EXPECT_EQ(test::readFileBytes(tmp), "new launcher") << spelling;
        EXPECT_EQ(source_.localPaths.at(0), tmp) << spelling;
        EXPECT_TRUE(beside.restartPending()) << spelling;
        DeleteFileW(tmp.c_str());
    }
}

TEST_F(FileMaintenance, TheWalkNeverFollowsFolderLinks) {
    TempFolder outside(L"outside");
    outside.write(L"victim.jar", "not the installation's");
    inst_.makeFolder(L"module");
    if (!test::makeFolderLink(inst_ / L"module\\linked", outside.path())) GTEST_SKIP() << "no folder links here";
    if (!test::makeFolderLink(inst_ / L"lib", outside.path())) GTEST_SKIP() << "no folder links here";
    FileList server, local;
    local.insert(entryFor(L"lib\\victim.jar", "x", kTime, false));  // formerly listed, now gone
    ASSERT_TRUE(sync_->deleteUnusedFiles(L"", server, local));
    EXPECT_EQ(outside.read(L"victim.jar"), "not the installation's");
}

TEST_F(FileMaintenance, AFailedDownloadEndsThePass) {
    FileList server;
    serve(server, L"a.jar", "a");
    serve(server, L"b.jar", "b");
    serve(server, L"c.jar", "c");
    source_.failing.insert(L"b.jar");
    EXPECT_FALSE(sync_->downloadChangedFiles(server, source_));
    EXPECT_TRUE(inst_.exists(L"a.jar"));
    EXPECT_FALSE(inst_.exists(L"c.jar"));
}

// One server behind several sources, each transfer on a thread of its own. With `together`,
// a fetch is held until that many are under way; with `failing`, that file fails then, and
// the others go on only once it has.
struct SharedServer {
    std::map<std::wstring, std::string> files;
    std::wstring failing;
    size_t together = 0;
    std::mutex lock;
    std::condition_variable changed;
    size_t inFlight = 0, most = 0;
    bool failed = false;
    std::vector<std::pair<std::wstring, size_t>> begun;  // name, transfers under way with it
    std::vector<std::wstring> ended;
};
class SharedServerSource : public RemoteSource {
public:
    explicit SharedServerSource(SharedServer& server) : RemoteSource(LogDriver(L"shared")), server_(server) {}
    bool fetch(std::wstring remoteName, std::wstring localPath, ProgressListener* listener, NameBytes) override {
        std::unique_lock<std::mutex> hold(server_.lock);
        server_.most = std::max(server_.most, ++server_.inFlight);
        server_.begun.emplace_back(remoteName, server_.inFlight);
        server_.changed.notify_all();
        const auto limit = std::chrono::seconds(20);
        server_.changed.wait_for(hold, limit, [&] { return server_.inFlight >= server_.together || server_.failed; });
        const bool fails = remoteName == server_.failing;
        if (fails) server_.failed = true;
        if (!fails && !server_.failing.empty()) server_.changed.wait_for(hold, limit, [&] { return server_.failed; });
        --server_.inFlight;
        server_.ended.push_back(remoteName);
        server_.changed.notify_all();
        if (fails) return false;
        test::writeFileBytes(partialPath(localPath), server_.files[remoteName]);
        int percent = 100;
        if (listener) listener->progress(nullptr, nullptr, nullptr, nullptr, &percent, nullptr);
        return true;
    }

private:
    SharedServer& server_;
};

TEST_F(FileMaintenance, FilesTravelSeveralAtOnceGhostscriptAloneAndOneFailureEndsThePass) {
    // Key order puts "module\\gs.rar" between the a.. and the z.. files.
    const auto fileName = [](int i) { return formatWide(i <= 5 ? L"module\\a%02d.jar" : L"module\\z%02d.jar", i); };
    const auto listOf = [&](SharedServer& served, int count, int ghostscriptAt) {
        FileList list;
        for (int i = 1; i <= count; ++i) {
            const std::wstring name = i == ghostscriptAt ? std::wstring(L"module\\gs.rar") : fileName(i);
            served.files[name] = "bytes of " + std::to_string(i);
            list.insert(entryFor(name, served.files[name], kTime, true));
        }
        return list;
    };
    {
        // Four at once; the Ghostscript archive alone, after every file before it and before
        // every file after it.
        SharedServer served;
        const FileList server = listOf(served, 9, 6);
        SharedServerSource source(served);
        test::ProgressRecorder progress;
        sync_->addListener(&progress);
        ASSERT_TRUE(sync_->downloadChangedFiles(server, source, nullptr, [&](bool) {
            return std::make_unique<SharedServerSource>(served);
        }));
        for (const auto& [name, bytes] : served.files) EXPECT_EQ(inst_.read(name), bytes) << name;
        EXPECT_TRUE(sync_->ghostscriptLoaded());
        const auto begun = std::find_if(served.begun.begin(), served.begun.end(),
                                        [](const auto& b) { return b.first == L"module\\gs.rar"; });
        ASSERT_NE(begun, served.begun.end());
        EXPECT_EQ(begun->second, 1u);
        EXPECT_EQ(begun - served.begun.begin(), 5);  // every file before it had begun ...
        const auto ended = std::find(served.ended.begin(), served.ended.end(), L"module\\gs.rar");
        EXPECT_EQ(ended - served.ended.begin(), 5);  // ... and ended, and none after it had begun
        ASSERT_FALSE(progress.records.empty());
        EXPECT_EQ(progress.records.back().current, 9);
        EXPECT_EQ(progress.records.back().total, 9);
        EXPECT_EQ(progress.records.back().percent, 100);
        EXPECT_EQ(sync_->outcome().files, 9u);
    }
    {
        // The third of 24 fails while four are under way: those that were under way are
        // checked and kept, no further file begins, and the pass fails.
        SharedServer served;
        const FileList server = listOf(served, 24, 0);
        served.together = 4;
        served.failing = fileName(3);
        SharedServerSource source(served);
        OrnivelSynchronizer sync(false, inst_.path() + L"failing\\", log_, false);
        EXPECT_FALSE(sync.downloadChangedFiles(server, source, nullptr, [&](bool) {
            return std::make_unique<SharedServerSource>(served);
        }));
        EXPECT_EQ(served.most, 4u);
        for (int i : {1, 2, 4}) EXPECT_EQ(inst_.read(L"failing\\" + fileName(i)), served.files[fileName(i)]);
        EXPECT_FALSE(inst_.exists(L"failing\\" + fileName(3)));
        EXPECT_FALSE(inst_.exists(L"failing\\" + fileName(3) + RemoteSource::kPartialSuffix));
        EXPECT_LT(served.begun.size(), 24u);
    }
}

TEST_F(FileMaintenance, ADamagedDownloadFailsThePass) {
    FileList server;
    server.insert(entryFor(L"system\\gs.rar", "the listed bytes", kTime, true));
    source_.files[L"system\\gs.rar"] = "other bytes";
    inst_.write(L"system\\gs.rar", "the version before");
    EXPECT_FALSE(sync_->downloadChangedFiles(server, source_));
    EXPECT_FALSE(sync_->ghostscriptLoaded());
    EXPECT_EQ(inst_.read(L"system\\gs.rar"), "the version before");  // damaged bytes never take its name
    EXPECT_FALSE(inst_.exists(L"system\\gs.rar.ornivel-download"));
    EXPECT_TRUE(capture_.has(LOG_ERROR, L"Downloaded file '" + inst_.path() +
                                            L"system\\gs.rar' does not match its checksum."));
}

// A changed file whose installed version the list names under "patches" is rebuilt from a
// patch; a patch that cannot be fetched, is damaged or was made from another version, and an
// installed version the list does not name, bring the whole file.
TEST_F(FileMaintenance, PatchesRebuildChangedFilesAndEveryFailureFetchesTheWholeFile) {
    std::string older(200 * 1024, '\0');
    uint64_t state = 88172645463325252ull;
    for (size_t at = 0; at < older.size(); at += 8) {
        state ^= state << 13, state ^= state >> 7, state ^= state << 17;
        std::memcpy(&older[at], &state, 8);
    }
    std::string newer = older;
    newer.replace(70000, 4000, std::string(5000, 'n'));
    std::string patch, error;
    ASSERT_EQ(publish::makePatch(older, newer, patch, error), publish::PatchResult::Written) << error;
    std::string damaged = patch;
    damaged[damaged.size() / 2] ^= 0x10;
    const std::string newerSha = sha256HexOfBytes(newer);

    // name, installed bytes, whether the list names them, the patch served for them
    const struct {
        const wchar_t* name;
        std::string installed;
        bool listed;
        const std::string* served;
    } cases[] = {{L"module\\patched.jar", older, true, &patch},
                 {L"module\\damaged.jar", older + "d", true, &damaged},
                 {L"module\\missing.jar", older + "m", true, nullptr},
                 {L"module\\wrongbase.jar", older + "w", true, &patch},
                 {L"module\\other.jar", older + "o", false, &patch}};
    FileList server;
    FakeSource patches;
    for (const auto& c : cases) {
        FileListFile entry = entryFor(c.name, newer, kTime, true);
        entry.sha256 = newerSha;
        const std::string installedSha = sha256HexOfBytes(c.installed);
        entry.patches = std::string(64, 'f') + (c.listed ? " " + installedSha : std::string());
        server.insert(entry);
        source_.files[c.name] = newer;
        inst_.write(c.name, c.installed);
        if (c.served) patches.files[L".ornivel-patches/" + fromAnsi(newerSha) + L"/" + fromAnsi(installedSha)] = *c.served;
    }

    ASSERT_TRUE(sync_->downloadChangedFiles(server, source_, &patches));
    for (const auto& c : cases) {
        EXPECT_TRUE(inst_.read(c.name) == newer) << c.name;
        EXPECT_FALSE(inst_.exists(std::wstring(c.name) + L".ornivel-patch.ornivel-download")) << c.name;
        const bool whole = std::count(source_.requested.begin(), source_.requested.end(), c.name) != 0;
        EXPECT_EQ(whole, c.installed != older) << c.name;
    }
    EXPECT_EQ(patches.requested.size(), 4u) << "other.jar's version has no patch";
    EXPECT_TRUE(capture_.has(LOG_INFO, L"File '" + inst_.path() + L"module\\patched.jar' rebuilt from the installed one "
                                       L"and a patch of " + std::to_wstring(patch.size()) + L" bytes."));
    EXPECT_TRUE(capture_.hasPrefix(LOG_INFO, L"The patch for '" + inst_.path() + L"module\\damaged.jar' is not used ("));
    EXPECT_TRUE(capture_.has(LOG_INFO, L"The patch for '" + inst_.path() + L"module\\wrongbase.jar' is not used (not made "
                                       L"for the installed file: the rebuilt bytes do not match the patch's checksum); "
                                       L"the whole file is fetched."));
    EXPECT_EQ(sync_->outcome().bytes, patch.size() + 4 * newer.size());
}

TEST_F(FileMaintenance, PathsOutsideTheInstallationAreNeverFetched) {
    for (const wchar_t* bad : {L"..\\evil.dll", L"C:\\evil.dll", L"\\\\host\\share\\evil.dll", L"module\\..\\..\\x",
                               L"module\\nul.jar", L"ornivel.exe.", L"lpt1"}) {
        FileList server;
        serve(server, L"module\\a.jar", "a");
        server.insert(entryFor(bad, "evil", kTime, true));
        source_.files[bad] = "evil";
        source_.requested.clear();
        EXPECT_FALSE(sync_->downloadChangedFiles(server, source_)) << bad;
        EXPECT_TRUE(source_.requested.empty()) << bad;
        EXPECT_TRUE(capture_.hasPrefix(LOG_ERROR, L"The file list " + inst_.path() + L"TarnFileList.new names '" + bad))
            << bad;
    }
}

} // namespace
} // namespace ornivel
