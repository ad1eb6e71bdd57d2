// An update interrupted anywhere heals: the synchronising program (installed as ornivel.exe)
// is ended at chosen points of a run, or inside the restart script, and then run again
// without interruption. Afterwards the installation must equal the deployment; at the moment
// of every interruption a whole launcher stands in the folder, and no partial file ever
// stands under a real name. Two deployments: the scriptable test server, which answers the
// server list to every version check, and a client folder published by ornivel-publish and
// served by nginx, which answers "OK" as soon as the modules are those of the new version,
// whatever else is still missing. Against the latter also: two starts of one installation
// at the same moment.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <random>

#include "common/Handles.h"
#include "common/Text.h"
#include "logdriver/LogDriver.h"
#include "remote/RemoteSource.h"
#include "sync/OrnivelClient.h"
#include "tests/support/TestSupport.h"
#include "tests/support/deployserver/TestDeploymentServer.h"
#include "tests/support/nginx/NginxHost.h"
#include "tests/support/windows/ChildProcess.h"
#include "tests/support/windows/WindowDriver.h"
#include "tests/support/rar/RarFixture.h"

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

// What an installation goes through on its way to a deployment, whichever serves it.
class ConvergenceBase : public ::testing::Test {
protected:
    ConvergenceBase() {
        oldRunner_ = test::readFileBytes(test::windowsPathOf(ORNIVEL_SYNC_RUNNER));
        newRunner_ = oldRunner_ + std::string("\0new build", 10);
        key_ = test::testRegistryKey(L"converge") + L"\\";
        gsDll_ = patternOf(6 << 20, 'g');
        newRar_ = test::storedRarArchive({{"gs", "", true}, {"gs\\bin\\gsdll.dll", gsDll_}});
    }
    ~ConvergenceBase() override {
        RegDeleteTreeW(HKEY_CURRENT_USER, key_.substr(0, key_.size() - 1).c_str());
        test::terminateProcessesOf(inst_ / L"ornivel.exe");
    }

    // The version before, as its list named it: an older launcher, a module that is gone now,
    // a file outside the managed folders, the old Ghostscript archive and server list.
    std::map<std::wstring, std::string> oldVersion() const {
        return {{L"ornivel.exe", oldRunner_},
                {L"module\\old.jar", "outdated"},
                {L"lib\\gone.txt", "named by the old list"},
                {L"system\\gs.rar", "the old archive"},
                {L"system\\config\\server.ini", "old|1|Old server\r\n"}};
    }
    // The new version: the new launcher, modules, a large file, a file without checksum (where
    // the deployment lists one so), the Ghostscript archive, a file in system\, a last file
    // after the launcher in the list's order.
    std::map<std::wstring, std::string> newVersion() const {
        std::map<std::wstring, std::string> files = {{L"ornivel.exe", newRunner_},
                                                     {L"module\\big.jar", patternOf(6 << 20, 'b')},
                                                     {L"lib\\plain.txt", "listed without checksum"},
                                                     {L"system\\gs.rar", newRar_},
                                                     {L"system\\config\\server.ini", "new|1|New server\r\n"},
                                                     {L"zzz\\last.jar", "the last file"}};
        for (int i = 0; i < 12; ++i) files[formatWide(L"module\\m%02d.jar", i)] = patternOf(3000 + i, 'm');
        return files;
    }

    // The deployment's files (without its list) and its list's bytes.
    virtual std::map<std::wstring, std::string> deployedFiles() const = 0;
    virtual std::string deployedList() const = 0;
    // The installation as the previous update left it: the old version's files and list,
    // leftovers in a managed folder, the old Ghostscript unpacked; pointed at the deployment,
    // which serves normally.
    void installOldVersion() {
        for (const auto& [path, bytes] : oldVersion()) inst_.write(path, bytes);
        for (int i = 0; i < 400; ++i) inst_.write(formatWide(L"module\\stale-%03d.jar", i), "stale");
        inst_.write(L"system\\gs\\bin\\old.dll", "the old Ghostscript");
        inst_.write(L"TarnFileList.xml", oldList());
        pointAtDeployment();
        serveNormally();
    }
    virtual std::string oldList() = 0;
    virtual void pointAtDeployment() = 0;
    // Serves the deployment as it is, without the test's interventions.
    virtual void serveNormally() = 0;
    // Further checks of a converged installation.
    virtual void expectAlsoConverged(const std::string&) {}

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
            // The script, and the launcher it starts, end on their own.
            waitForDescendants(process.id());
        }
        return false;
    }
    // Waits for every process a process started, and for theirs (the restart script may be
    // started through a process that ends at once, and the launcher it starts may outlive it).
    static void waitForDescendants(DWORD id) {
        for (DWORD child : test::childrenOf(id)) {
            UniqueHandle handle(OpenProcess(SYNCHRONIZE, FALSE, child));
            if (handle) WaitForSingleObject(handle.get(), 120000);
            waitForDescendants(child);
        }
    }

    // The installation equals the deployment: every listed file with its bytes (the new
    // launcher among them), the unpacked Ghostscript, the list itself, and nothing else.
    void expectConverged(const std::string& point) {
        std::map<std::wstring, std::string> expected = deployedFiles();
        expected[L"system\\gs\\bin\\gsdll.dll"] = gsDll_;
        std::map<std::wstring, std::string> actual = test::filesBelow(inst_.path());
        // The installation's own files: its server file, logs, and the note of the archive
        // that Ghostscript was last unpacked from.
        for (const wchar_t* own :
             {L"ornivel-Server.dat", L"log\\launcher.log", L"log\\copyrun.log", L"system\\gs.rar.unpacked"})
            actual.erase(own);
        EXPECT_EQ(actual.count(L"TarnFileList.xml"), 1u) << point;
        EXPECT_EQ(actual[L"TarnFileList.xml"], deployedList()) << point << "\n" << inst_.read(L"log\\launcher.log");
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
        expectAlsoConverged(point);
    }

    // Starts a run and ends it (and whatever it started) once `reached` holds, after
    // `arrange`; checks the moment.
    void interrupt(const std::string& point, const std::function<void()>& arrange,
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
    }
    // Lets the update finish without interruption.
    void heal(const std::string& point) {
        serveNormally();
        ASSERT_TRUE(runToTheEnd()) << point << "\n" << inst_.read(L"log\\launcher.log");
        expectConverged(point);
    }
    void interruptAndConverge(const std::string& point, const std::function<void()>& arrange,
                              const std::function<bool(DWORD)>& reached) {
        interrupt(point, arrange, reached);
        if (!HasFatalFailure()) heal(point);
    }

    // Ends what an interrupted run of this installation left running: launchers and
    // extraction tools (by their paths: other test programs run launchers of their own).
    void endStragglers() {
        for (const wchar_t* program : {L"ornivel.exe", L"unrar.exe"}) test::terminateProcessesOf(inst_ / program);
    }

    // A partial download of the file stands in the folder (the source's own, beside the name
    // it was given, which may itself be a partial name).
    bool partialOf(const std::wstring& relative) {
        const std::wstring partial = RemoteSource::partialPath(inst_ / relative);
        return test::fileExists(partial) || test::fileExists(RemoteSource::partialPath(partial));
    }

    void duringTheGhostscriptUnpacking() {
        interruptAndConverge("Ghostscript unpacking", [] {},
                             [&](DWORD id) { return inst_.exists(L"unrar.exe") && !test::childrenOf(id).empty(); });
    }
    void insideTheRestartScript() {
        // The launcher's file stays in use for a moment, so the script waits between two
        // attempts to move the new one into place; it is ended there.
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

    TempFolder inst_{L"converge"};
    std::string oldRunner_, newRunner_, newRar_, gsDll_;
    std::wstring key_;
};

// The scriptable test server: the server list answers every version check.
class Convergence : public ConvergenceBase {
protected:
    Convergence() {
        for (const auto& [path, bytes] : newVersion()) server_.putFile(path, bytes);
        server_.putFile(L"lib\\plain.txt", "listed without checksum", "03.03.2023 03:03:03", false);
        server_.publish();
    }

    std::map<std::wstring, std::string> deployedFiles() const override {
        std::map<std::wstring, std::string> files = test::filesBelow(server_.folder());
        files.erase(L"TarnFileList.xml");
        return files;
    }
    std::string deployedList() const override { return server_.fileListText(); }
    std::string oldList() override {
        test::TestDeploymentServer before;
        for (const auto& [path, bytes] : oldVersion()) before.putFile(path, bytes);
        return before.fileListText();
    }
    void pointAtDeployment() override { server_.writeServerFile(inst_.path()); }
    void serveNormally() override {
        server_.http().clear();
        server_.http().serveFolder("/deploy/", server_.folder());
        server_.http().routePrefix("/check/clientChecksum%3d", {HttpAnswer::ok(server_.serverRecord("http"))});
    }
    void expectAlsoConverged(const std::string& point) override {
        FILETIME written = test::lastWriteTimeOf(inst_ / L"lib\\plain.txt");
        FILETIME listed = test::utcFileTimeOf("03.03.2023 03:03:03");
        EXPECT_EQ(CompareFileTime(&written, &listed), 0) << point;
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
    bool partialBigJar() { return partialOf(L"module\\big.jar"); }

    HttpAnswer heldBack(const std::wstring& deployed) {
        HttpAnswer answer;
        answer.unixFile = unixPathOf(deployed);
        answer.delay = 60;
        return answer;
    }

    test::TestDeploymentServer server_;
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

TEST_F(Convergence, DuringTheGhostscriptUnpacking) { duringTheGhostscriptUnpacking(); }

TEST_F(Convergence, InsideTheRestartScript) { insideTheRestartScript(); }

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

// The client folder of each version published by ornivel-publish (the native Linux build) and
// served by nginx with the fragment the publisher wrote. Its version check answers "OK" to the
// new version's client checksum, which covers only the names and sizes below module\ and
// system\jar\: an installation whose modules are new answers "OK" whatever else is missing.
class PublishedConvergence : public ConvergenceBase {
protected:
    void SetUp() override {
        ASSERT_TRUE(host_.running()) << "the Linux-side helper did not start";
        ASSERT_TRUE(test::fileExists(test::windowsPathOf(ORNIVEL_NATIVE_PUBLISH)))
            << ORNIVEL_NATIVE_PUBLISH << " is missing: build the native publisher (scripts/test.sh does)";
        // The previous publication, whose list the installation holds, then the new one.
        writeClient(oldVersion());
        publish();
        oldList_ = test::readFileBytes(deployment() + L"deploy\\TarnFileList.xml");
        for (const auto& [path, bytes] : oldVersion()) DeleteFileW((client_ / path).c_str());
        writeClient(newVersion());
        newChecksum_ = publish();
        ASSERT_EQ(newChecksum_.size(), 32u) << newChecksum_;
    }

    void writeClient(const std::map<std::wstring, std::string>& files) {
        for (const auto& [path, bytes] : files) {
            DeleteFileW((client_ / path).c_str());  // a new file, as a build makes it
            client_.write(path, bytes);
        }
    }
    // Publishes the client folder; the client checksum the version check answers "OK" to.
    std::string publish() {
        const test::NginxHost::Result result =
            host_.run({ORNIVEL_NATIVE_PUBLISH, test::unixPathOf(client_.path()), test::unixPathOf(deployment()),
                       "--server", "http|127.0.0.1|/ornivel/deploy|" + std::to_string(host_.httpPort())});
        EXPECT_EQ(result.status, 0) << result.output;
        std::string checksum;
        for (const auto& entry : std::filesystem::directory_iterator(deployment() + L"check")) {
            const std::string name = toUtf8(entry.path().filename().wstring());
            if (name.rfind("clientChecksum=", 0) == 0) checksum = checksum.empty() ? name.substr(15) : "several";
        }
        return checksum;
    }
    std::wstring deployment() const { return work_ / L"deployment\\"; }

    std::map<std::wstring, std::string> deployedFiles() const override { return newVersion(); }
    std::string deployedList() const override {
        return test::readFileBytes(deployment() + L"deploy\\TarnFileList.xml");
    }
    std::string oldList() override { return oldList_; }
    void pointAtDeployment() override {
        inst_.write(L"ornivel-Server.dat", "http://127.0.0.1:" + std::to_string(host_.httpPort()) + "/ornivel/check\r\n");
    }
    void serveNormally() override { serveWith(""); }
    // Serves the deployment with further lines in nginx's server block.
    void serveWith(const std::string& extra) {
        if (serving_ && extra == extra_) return;
        std::string complaint;
        ASSERT_TRUE(host_.serve(deployment() + L"nginx.conf", complaint, extra)) << complaint;
        serving_ = true;
        extra_ = extra;
    }
    // An nginx location for one deployed file (path with "/") that takes precedence over the
    // fragment's.
    std::string locationOf(const std::string& deployed, const std::string& body) const {
        return "location = /ornivel/deploy/" + deployed + " { " + body + " }";
    }

    // The installation's client checksum is the new version's: the version check answers "OK".
    void expectAnsweredOk(const std::string& point) {
        LogDriver quiet(L"converge");
        EXPECT_EQ(toAnsi(OrnivelClient(inst_.path(), quiet).clientChecksum()), newChecksum_)
            << point << ": the next start would not be answered \"OK\"";
    }

    test::NginxHost host_;
    TempFolder work_{L"converge-publish"};
    TempFolder client_{L"client", work_.path()};
    std::string oldList_, newChecksum_, extra_;
    bool serving_ = false;
};

TEST_F(PublishedConvergence, AfterTheModulesBeforeTheLauncher) {
    // The new launcher comes slowly; the run is ended while it arrives, after every module.
    const std::string point = "modules arrived";
    interrupt(point, [&] {
        serveWith(locationOf("ornivel.exe", "alias \"" + test::unixPathOf(deployment() + L"deploy\\ornivel.exe") +
                                                "\"; limit_rate 200k;"));
    }, [&](DWORD) { return partialOf(L"ornivel.tmp"); });
    if (HasFatalFailure()) return;
    expectAnsweredOk(point);
    heal(point);
}

TEST_F(PublishedConvergence, AFailedDownloadIsFinishedByTheNextStart) {
    // One file of system\ fails for one start, after the modules and the new launcher arrived.
    const std::string point = "failed download";
    installOldVersion();
    serveWith(locationOf("system/config/server.ini", "return 500;"));
    {
        test::ChildProcess process(inst_ / L"ornivel.exe", key_, inst_.path());
        DWORD exitCode = 0;
        ASSERT_TRUE(process.started() && process.waitForExit(120000, exitCode));
        ASSERT_EQ(exitCode, 2u) << inst_.read(L"log\\launcher.log");
    }
    expectAnsweredOk(point);
    heal(point);
}

TEST_F(PublishedConvergence, DuringTheGhostscriptUnpacking) { duringTheGhostscriptUnpacking(); }

TEST_F(PublishedConvergence, InsideTheRestartScript) { insideTheRestartScript(); }

TEST_F(PublishedConvergence, TwoStartsAtOnce) {
    for (int round = 1; round <= 3; ++round) {
        const std::string point = "two starts, round " + std::to_string(round);
        test::removeFolder(inst_.path());
        inst_.makeFolder(L"");
        installOldVersion();
        inst_.write(L"ornivel.exe", newRunner_);  // no restart: both runs end in the program
        const size_t seen = test::readFileBytes(host_.accessLog()).size();
        DWORD first = 0, second = 0;
        {
            test::ChildProcess one(inst_ / L"ornivel.exe", key_, inst_.path());
            test::ChildProcess two(inst_ / L"ornivel.exe", key_, inst_.path());
            ASSERT_TRUE(one.started() && two.started());
            ASSERT_TRUE(one.waitForExit(120000, first) && two.waitForExit(120000, second)) << point;
        }
        const std::string log = inst_.read(L"log\\launcher.log");
        EXPECT_TRUE(first == 1 && second == 1) << point << ": exit codes " << first << ", " << second << "\n" << log;
        EXPECT_EQ(log.find("Could not delete file"), std::string::npos) << point << "\n" << log;
        for (const std::string& line : test::splitLines(log))
            EXPECT_TRUE(line.rfind("error", 0) != 0 && line.rfind("fatal", 0) != 0) << point << ": " << line;
        // The waiting start says so when it waits and when it goes on; both runs write into one
        // log, each from its own position, so only the second line is sure not to be written
        // over by the other run's lines.
        EXPECT_NE(log.find("other start"), std::string::npos) << point << ": no start waited\n" << log;

        // One start updated; the other asked for the version only afterwards and was answered "OK".
        size_t lists = 0, checks = 0, lastFile = 0, answeredOk = std::string::npos;
        const std::vector<std::string> requests = test::splitLines(test::readFileBytes(host_.accessLog()).substr(seen));
        for (size_t i = 0; i < requests.size(); ++i) {
            const std::string uri = requests[i].substr(requests[i].find('/'));
            lists += uri == "/ornivel/deploy/TarnFileList.xml";
            if (uri.rfind("/ornivel/deploy/", 0) == 0) lastFile = i;
            if (uri.rfind("/ornivel/check/", 0) != 0) continue;
            ++checks;
            if (uri.find(newChecksum_) != std::string::npos) answeredOk = i;
        }
        EXPECT_EQ(lists, 1u) << point;
        EXPECT_EQ(checks, 2u) << point;
        EXPECT_TRUE(answeredOk != std::string::npos && answeredOk > lastFile)
            << point << ": the second start asked before the first one's update ended";
        expectConverged(point);
    }
}

} // namespace
} // namespace ornivel
