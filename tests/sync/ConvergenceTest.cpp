// An update interrupted anywhere heals: the synchronising program (installed as ornivel.exe)
// is ended at chosen points of a run, or inside the restart script, and then run again
// without interruption. Afterwards the installation must equal the deployment; at the moment
// of every interruption a whole launcher stands in the folder, and no partial file ever
// stands under a real name.
#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "common/Handles.h"
#include "common/Text.h"
#include "remote/RemoteSource.h"
#include "tests/support/TestSupport.h"
#include "tests/support/deployserver/TestDeploymentServer.h"
#include "tests/support/windows/ChildProcess.h"
#include "tests/support/windows/WindowDriver.h"
#include "tests/sync/RarFixture.h"

namespace ornivel {
namespace {

using test::HttpAnswer;
using test::TempFolder;

const char kListTime[] = "01.02.2024 10:00:00";

std::string patternOf(size_t size, char seed) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(seed + i % 251);
    return bytes;
}

class Convergence : public ::testing::Test {
protected:
    Convergence() {
        oldRunner_ = test::readFileBytes(test::windowsPathOf(ORNIVEL_SYNC_RUNNER));
        newRunner_ = oldRunner_ + std::string("\0new build", 10);
        key_ = test::testRegistryKey(L"converge") + L"\\";
        newRar_ = test::storedRarArchive({{"gs", "", true}, {"gs\\bin\\gsdll.dll", patternOf(6 << 20, 'g')}});
        // The deployment: the new launcher, modules, a large file, a file without checksum,
        // the Ghostscript archive, a last file after the launcher in the list's order.
        server_.putFile(L"ornivel.exe", newRunner_);
        for (int i = 0; i < 12; ++i) server_.putFile(formatWide(L"module\\m%02d.jar", i), patternOf(3000 + i, 'm'));
        server_.putFile(L"module\\big.jar", patternOf(6 << 20, 'b'));
        server_.putFile(L"lib\\plain.txt", "listed without checksum", "03.03.2023 03:03:03", false);
        server_.putFile(L"system\\gs.rar", newRar_);
        server_.putFile(L"zzz\\last.jar", "the last file");
        server_.publish();
    }
    ~Convergence() override {
        RegDeleteTreeW(HKEY_CURRENT_USER, key_.substr(0, key_.size() - 1).c_str());
        test::terminateProcessesOf(inst_ / L"ornivel.exe");
    }

    // The installation of the version before: an older launcher and list, an old Ghostscript,
    // modules that are gone now, a file the old list named.
    void installOldVersion() {
        inst_.write(L"ornivel.exe", oldRunner_);
        inst_.write(L"module\\old.jar", "outdated");
        for (int i = 0; i < 400; ++i) inst_.write(formatWide(L"module\\stale-%03d.jar", i), "stale");
        inst_.write(L"lib\\gone.txt", "named by the old list");
        inst_.write(L"system\\gs.rar", "the old archive");
        inst_.write(L"system\\gs\\bin\\old.dll", "the old Ghostscript");
        test::TestDeploymentServer before;
        before.putFile(L"lib\\gone.txt", "named by the old list");
        before.putFile(L"system\\gs.rar", "the old archive");
        inst_.write(L"TarnFileList.xml", before.fileListText());
        server_.writeServerFile(inst_.path());
        serveNormally();
    }
    void serveNormally() {
        server_.http().clear();
        server_.http().serveFolder("/deploy/", server_.folder());
        server_.http().routePrefix("/check/clientChecksum%3d", {HttpAnswer::ok(server_.serverRecord("http"))});
    }
    std::string unixPathOf(const std::wstring& deployed) const {
        std::wstring path = server_.folder() + deployed;
        std::string unix = toUtf8(path.substr(2));  // Z:\... is the Unix root
        for (char& c : unix)
            if (c == '\\') c = '/';
        return unix;
    }
    bool requested(const std::string& fragment) {
        for (const std::string& target : server_.requestTargets())
            if (target.find(fragment) != std::string::npos) return true;
        return false;
    }

    // A whole launcher, old or new, stands in the folder.
    void expectWholeLauncher(const std::string& when) {
        const std::string launcher = inst_.read(L"ornivel.exe");
        EXPECT_TRUE(launcher == oldRunner_ || launcher == newRunner_) << when << ": " << launcher.size() << " bytes";
    }

    // Runs the program until a run ends without handing over to a restart (at most four runs,
    // a restart's own run included). False when that never happens.
    bool runToTheEnd() {
        for (int run = 0; run < 4; ++run) {
            test::ChildProcess process(inst_ / L"ornivel.exe", key_, inst_.path());
            DWORD exitCode = 0;
            if (!process.started() || !process.waitForExit(120000, exitCode)) return false;
            const std::string log = inst_.read(L"log\\launcher.log");
            if (exitCode == 1) return true;
            if (log.find("Using CopyRun for restart") == std::string::npos) return false;
            // The script (and the launcher it starts, which it waits for) ends on its own.
            for (DWORD script : test::childrenOf(process.id())) {
                UniqueHandle handle(OpenProcess(SYNCHRONIZE, FALSE, script));
                if (handle) WaitForSingleObject(handle.get(), 120000);
            }
        }
        return false;
    }

    // The installation equals the deployment: every listed file with its bytes (the new
    // launcher among them), the unpacked Ghostscript, the list itself, and nothing else.
    void expectConverged(const std::string& point) {
        std::map<std::wstring, std::string> expected = test::filesBelow(server_.folder());
        expected.erase(L"TarnFileList.xml");
        expected[L"system\\gs\\bin\\gsdll.dll"] = patternOf(6 << 20, 'g');
        std::map<std::wstring, std::string> actual = test::filesBelow(inst_.path());
        for (const wchar_t* own : {L"ornivel-Server.dat", L"log\\launcher.log", L"log\\copyrun.log"}) actual.erase(own);
        EXPECT_EQ(actual.count(L"TarnFileList.xml"), 1u) << point;
        EXPECT_EQ(actual[L"TarnFileList.xml"], server_.fileListText()) << point;
        actual.erase(L"TarnFileList.xml");
        std::vector<std::wstring> extra, missing, different;
        for (const auto& [path, bytes] : actual) {
            auto it = expected.find(path);
            if (it == expected.end()) {
                extra.push_back(path);
            } else if (it->second != bytes) {
                different.push_back(path);
            }
        }
        for (const auto& [path, bytes] : expected)
            if (!actual.count(path)) missing.push_back(path);
        EXPECT_TRUE(extra.empty() && missing.empty() && different.empty())
            << point << ": extra " << testing::PrintToString(extra) << " missing " << testing::PrintToString(missing)
            << " different " << testing::PrintToString(different) << "\n" << inst_.read(L"log\\launcher.log");
        FILETIME written = test::lastWriteTimeOf(inst_ / L"lib\\plain.txt");
        FILETIME listed = test::utcFileTimeOf("03.03.2023 03:03:03");
        EXPECT_EQ(CompareFileTime(&written, &listed), 0) << point;
    }

    // Starts a run, ends it (and whatever it started) once `reached` holds, checks the
    // moment, then lets the update finish.
    void interruptAndConverge(const std::string& point, const std::function<void()>& arrange,
                              const std::function<bool(DWORD)>& reached) {
        installOldVersion();
        arrange();
        {
            test::ChildProcess process(inst_ / L"ornivel.exe", key_, inst_.path());
            ASSERT_TRUE(process.started());
            ASSERT_TRUE(test::waitUntil([&] { return reached(process.id()); }, 60000)) << point << " never reached";
            test::terminateTree(process.id());
        }
        endStragglers();
        expectWholeLauncher(point);
        serveNormally();
        ASSERT_TRUE(runToTheEnd()) << point << "\n" << inst_.read(L"log\\launcher.log");
        expectConverged(point);
    }

    // Ends what an interrupted run of this installation left running: launchers and
    // extraction tools (by their paths: other test programs run launchers of their own).
    void endStragglers() {
        for (const wchar_t* program : {L"ornivel.exe", L"unrar.exe"}) test::terminateProcessesOf(inst_ / program);
    }

    // A partial download of the large file stands in the folder (the source's own, beside the
    // name it was given, which is itself a partial name for files with a checksum).
    bool partialBigJar() {
        const std::wstring partial = RemoteSource::partialPath(inst_ / L"module\\big.jar");
        return test::fileExists(partial) || test::fileExists(RemoteSource::partialPath(partial));
    }

    HttpAnswer heldBack(const std::wstring& deployed) {
        HttpAnswer answer;
        answer.unixFile = unixPathOf(deployed);
        answer.delay = 60;
        return answer;
    }

    TempFolder inst_{L"converge"};
    test::TestDeploymentServer server_;
    std::string oldRunner_, newRunner_, newRar_;
    std::wstring key_;
};

TEST_F(Convergence, DuringTheVersionCheck) {
    interruptAndConverge("version check", [&] {
        server_.http().routePrefix("/check/clientChecksum%3d", {HttpAnswer::ok(server_.serverRecord("http"))});
        server_.http().routePrefix("/check/", {[&] { HttpAnswer a = HttpAnswer::ok(""); a.delay = 60; return a; }()});
    }, [&](DWORD) { return requested("/check/"); });
}

TEST_F(Convergence, AfterTheListArrived) {
    interruptAndConverge("list arrived", [] {}, [&](DWORD) { return inst_.exists(L"TarnFileList.new"); });
}

TEST_F(Convergence, DuringTheDeletionWalk) {
    interruptAndConverge("deletion walk", [] {},
                         [&](DWORD) { return inst_.read(L"log\\launcher.log").find("Deleting file") != std::string::npos; });
}

TEST_F(Convergence, BeforeTheFirstDownload) {
    interruptAndConverge("first download", [&] { server_.http().route("/deploy/lib/plain.txt", heldBack(L"lib\\plain.txt")); },
                         [&](DWORD) { return requested("/deploy/lib/plain.txt"); });
}

TEST_F(Convergence, InsideALargeDownload) {
    interruptAndConverge("large download", [&] {
        HttpAnswer half;
        half.unixFile = unixPathOf(L"module\\big.jar");
        half.stallAfter = 3 << 20;
        server_.http().route("/deploy/module/big.jar", half);
    }, [&](DWORD) {
        return partialBigJar() && requested("module/big.jar");
    });
}

TEST_F(Convergence, BetweenTwoFiles) {
    interruptAndConverge("between two files", [&] { server_.http().route("/deploy/module/m05.jar", heldBack(L"module\\m05.jar")); },
                         [&](DWORD) { return requested("/deploy/module/m05.jar"); });
}

TEST_F(Convergence, AfterTheNewLauncherArrivedBeforeTheRestart) {
    interruptAndConverge("new launcher written", [&] { server_.http().route("/deploy/system/gs.rar", heldBack(L"system\\gs.rar")); },
                         [&](DWORD) { return requested("/deploy/system/gs.rar") && inst_.exists(L"ornivel.tmp"); });
}

TEST_F(Convergence, DuringTheGhostscriptUnpacking) {
    interruptAndConverge("Ghostscript unpacking", [] {},
                         [&](DWORD id) { return inst_.exists(L"unrar.exe") && !test::childrenOf(id).empty(); });
}

TEST_F(Convergence, InsideTheRestartScript) {
    // The launcher's file stays in use for a moment, so the script waits between two attempts
    // to move the new one into place; it is ended there.
    UniqueHandle inUse;
    interruptAndConverge("restart script", [&] {}, [&](DWORD id) {
        if (!inUse && inst_.exists(L"ornivel.tmp"))
            inUse.reset(CreateFileW((inst_ / L"ornivel.exe").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
        for (DWORD script : test::childrenOf(id)) {
            if (test::childrenOf(script).empty()) continue;
            inUse.reset();  // the script pauses between two attempts
            return true;
        }
        return false;
    });
}

TEST_F(Convergence, DuringTheRestartedLaunchersRun) {
    interruptAndConverge("restarted launcher", [&] {
        // The first version check is answered at once, the restarted launcher's is held back.
        HttpAnswer late = HttpAnswer::ok(server_.serverRecord("http"));
        late.delay = 60;
        server_.http().routePrefix("/check/clientChecksum%3d", {HttpAnswer::ok(server_.serverRecord("http")), late});
    }, [&](DWORD) {
        size_t checks = 0;
        for (const std::string& target : server_.requestTargets()) checks += target.find("/check/") != std::string::npos;
        return checks >= 2;
    });
}

TEST_F(Convergence, TwiceInARow) {
    installOldVersion();
    HttpAnswer half;
    half.unixFile = unixPathOf(L"module\\big.jar");
    half.stallAfter = 1 << 20;
    server_.http().route("/deploy/module/big.jar", half);
    for (int attempt = 0; attempt < 2; ++attempt) {
        test::ChildProcess process(inst_ / L"ornivel.exe", key_, inst_.path());
        ASSERT_TRUE(test::waitUntil([&] { return partialBigJar(); }, 60000));
        test::terminateTree(process.id());
        expectWholeLauncher("twice");
    }
    serveNormally();
    ASSERT_TRUE(runToTheEnd());
    expectConverged("twice");
}

// For scripts/convergence.sh: ORNIVEL_CONVERGENCE_RUNS interruptions at random moments of the
// whole update (restart included); prints how many converged.
TEST_F(Convergence, RandomMoments) {
    const int runs = _wtoi(processEnvironment(L"ORNIVEL_CONVERGENCE_RUNS").c_str());
    if (runs <= 0) GTEST_SKIP() << "set ORNIVEL_CONVERGENCE_RUNS";
    std::mt19937 random(static_cast<unsigned>(GetTickCount()));
    int converged = 0;
    for (int i = 0; i < runs; ++i) {
        test::removeFolder(inst_.path());
        inst_.makeFolder(L"");
        installOldVersion();
        const DWORD moment = std::uniform_int_distribution<DWORD>(0, 2500)(random);
        {
            test::ChildProcess process(inst_ / L"ornivel.exe", key_, inst_.path());
            Sleep(moment);
            test::terminateTree(process.id());
        }
        endStragglers();
        // A process ended while it started another can leave that one hanging in Wine's own
        // start-up, out of reach of Windows calls: end such stragglers from the Unix side
        // (by name: scripts/convergence.sh runs this test alone).
        test::runUnixProgram(L"/usr/bin/pkill -KILL -x 'ornivel.exe|unrar.exe'");
        const int failuresBefore = ::testing::UnitTest::GetInstance()->current_test_info()->result()->total_part_count();
        expectWholeLauncher("random");
        const bool ended = runToTheEnd();
        EXPECT_TRUE(ended) << "after " << moment << " ms";
        if (ended) expectConverged("after " + std::to_string(moment) + " ms");
        const int failuresAfter = ::testing::UnitTest::GetInstance()->current_test_info()->result()->total_part_count();
        converged += failuresAfter == failuresBefore;
        std::printf("interrupted after %4lu ms: %s\n", moment, failuresAfter == failuresBefore ? "converged" : "NOT converged");
    }
    std::printf("converged %d of %d\n", converged, runs);
}

} // namespace
} // namespace ornivel
