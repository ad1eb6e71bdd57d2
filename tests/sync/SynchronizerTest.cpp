// Whole synchronisation runs against the deployment test server, in a temporary installation.
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "common/Text.h"
#include "remote/RemoteSource.h"
#include "common/Handles.h"
#include "sync/FleetReport.h"
#include "sync/InstallationLock.h"
#include "filelist/ListSignature.h"
#include "filelist/ListWriter.h"
#include "filelist/Md5.h"
#include "sync/OrnivelSynchronizer.h"
#include "sync/SignedList.h"
#include "sync/UpdateStatus.h"
#include "tests/support/TestSupport.h"
#include "tests/support/deployserver/TestDeploymentServer.h"
#include "config/StoredValues.h"

namespace ornivel {
namespace {

using test::CapturingAppender;
using test::TempFolder;
using test::TestDeploymentServer;

const std::wstring kKey = test::testRegistryKey(L"deployment") + L"\\";

struct PhaseRecorder : ProgressListener {
    void progress(const int* phase, const wchar_t*, const int*, const int*, const int*, const int*) override {
        if (phases.empty() || phases.back() != *phase) phases.push_back(*phase);
    }
    std::vector<int> phases;
};

class Synchronizer : public ::testing::Test {
protected:
    Synchronizer() : cd_(inst_.path()) {
        RegDeleteTreeW(HKEY_CURRENT_USER, test::testRegistryKey(L"deployment").c_str());
        log_.addAppender(&capture_);
    }
    ~Synchronizer() override { RegDeleteTreeW(HKEY_CURRENT_USER, test::testRegistryKey(L"deployment").c_str()); }

    bool run(bool fieldService = false, uint32_t transfersAtOnce = kMaxParallelTransfers) {
        capture_.messages.clear();
        OrnivelSynchronizer sync(fieldService, inst_.path(), log_, false);
        sync.setParallelTransfers(transfersAtOnce);
        sync.addListener(&phases_);
        return sync.synchronizeFolder(kKey, L"");
    }
    bool logged(int level, const std::wstring& text) const { return capture_.has(level, text); }
    // Every message of the last run, for failure reports.
    std::string messages() const {
        std::wstring text;
        for (const auto& [level, message] : capture_.messages) text += std::to_wstring(level) + L" " + message + L"\n";
        return toUtf8(text);
    }
    bool loggedPrefix(int level, const std::wstring& text) const { return capture_.hasPrefix(level, text); }
    size_t fatalCount() const {
        return std::count_if(capture_.messages.begin(), capture_.messages.end(),
                             [](const auto& m) { return m.first == LOG_FATAL; });
    }
    size_t requestsFor(const std::string& target) {
        auto targets = server_.requestTargets();
        return std::count(targets.begin(), targets.end(), target);
    }
    void standardDeployment() {
        server_.putFile(L"module\\a.jar", "module a");
        server_.putFile(L"module\\b.jar", "module b, first version");
        server_.putFile(L"system\\jar\\c.jar", std::string(70000, 'c'), "15.06.2023 08:30:00");
        server_.putFile(L"lib\\d.txt", "plain file without checksum", "02.01.2022 00:00:01", false);
        server_.putFile(L"lib\\Sub Folder\\e f.txt", "blank in the name");
        server_.listOnly(L"TarnFileList.xml", "TimestampGMT=\"01.01.2020 00:00:00\" Size=\"3\"");
        server_.publish();
        server_.writeServerFile(inst_.path());
    }
    // The installation without the files that are not the deployment's.
    std::map<std::wstring, std::string> deployedState() {
        auto files = test::filesBelow(inst_.path());
        for (const wchar_t* own : {L"ornivel-Server.dat", L"TarnFileList.xml", L"docs\\notes.txt"}) files.erase(own);
        return files;
    }

    // Every run happens in an installation folder as users name them.
    TempFolder inst_{test::kEverydayFolderName, test::everydayProfileFolder()};
    test::WorkingFolder cd_;
    CapturingAppender capture_;
    LogDriver log_{L"ornivel"};
    PhaseRecorder phases_;
    TestDeploymentServer server_;
};

TEST_F(Synchronizer, FirstRunSecondRunAndAChangedFile) {
    standardDeployment();
    inst_.write(L"module\\old.jar", "outdated");
    inst_.write(L"docs\\notes.txt", "the user's own");
    server_.answerVersionCheck(inst_.path(), server_.serverRecord("http"));

    ASSERT_TRUE(run());
    EXPECT_EQ(fatalCount(), 0u);
    EXPECT_EQ(phases_.phases, (std::vector<int>{PHASE_WAITING, PHASE_CONTACTING_SERVER, PHASE_SEARCHING_UPDATES,
                                                 PHASE_LOADING_FILES}));
    auto server = test::filesBelow(server_.folder());
    server.erase(L"TarnFileList.xml");
    EXPECT_EQ(deployedState(), server);
    EXPECT_EQ(inst_.read(L"TarnFileList.xml"), server_.fileListText());
    EXPECT_FALSE(inst_.exists(L"TarnFileList.new"));
    EXPECT_FALSE(inst_.exists(L"module\\old.jar"));
    EXPECT_EQ(inst_.read(L"docs\\notes.txt"), "the user's own");
    for (const auto& [path, bytes] : server) {
        FILETIME here = test::lastWriteTimeOf(inst_ / path), there = test::lastWriteTimeOf(server_.folder() + path);
        (void)bytes;
        FILETIME listed = test::utcFileTimeOf(path == L"system\\jar\\c.jar" ? "15.06.2023 08:30:00"
                                              : path == L"lib\\d.txt"        ? "02.01.2022 00:00:01"
                                                                             : "01.02.2024 10:00:00");
        EXPECT_EQ(CompareFileTime(&here, &listed), 0) << path;
        (void)there;
    }
    EXPECT_EQ(requestsFor("/deploy/TarnFileList.xml"), 1u);
    EXPECT_EQ(requestsFor("/deploy/lib/Sub%20Folder/e%20f.txt"), 1u);
    EXPECT_EQ(RegistryString(kKey).get(), fromAnsi(server_.serverRecord("http")));

    // Second run: the service finds the installation current.
    server_.answerVersionCheck(inst_.path(), "OK");
    auto before = test::filesBelow(inst_.path());
    FILETIME aTime = test::lastWriteTimeOf(inst_ / L"module\\a.jar");
    size_t requestsBefore = server_.requestTargets().size();
    ASSERT_TRUE(run());
    EXPECT_TRUE(logged(LOG_INFO, L"Version checksum is OK. No synchronisation necessary."));
    EXPECT_EQ(test::filesBelow(inst_.path()), before);
    FILETIME aTimeAfter = test::lastWriteTimeOf(inst_ / L"module\\a.jar");
    EXPECT_EQ(CompareFileTime(&aTime, &aTimeAfter), 0);
    EXPECT_EQ(server_.requestTargets().size(), requestsBefore + 1);  // the version check only

    // Third run: one file changed on the server.
    server_.putFile(L"module\\b.jar", "module b, second version");
    server_.publish();
    server_.answerVersionCheck(inst_.path(), server_.serverRecord("http"));
    ASSERT_TRUE(run());
    EXPECT_EQ(inst_.read(L"module\\b.jar"), "module b, second version");
    EXPECT_EQ(requestsFor("/deploy/module/b.jar"), 2u);
    EXPECT_EQ(requestsFor("/deploy/module/a.jar"), 1u);
    EXPECT_EQ(requestsFor("/deploy/lib/d.txt"), 1u);
    EXPECT_EQ(requestsFor("/deploy/TarnFileList.xml"), 2u);
}

TEST_F(Synchronizer, RealNamesArriveThroughWinHttpAndTheSocketClientAndStay) {
    server_.putFile(L"a-first.txt", "first");
    server_.putFile(L"module\\Gr\u00fc\u00dfe.jar", "module with umlauts");
    server_.putFile(L"lib\\\u00e4 & \u00f6 (1).txt", "no checksum", "03.03.2023 03:03:03", false);
    server_.publish();
    server_.writeServerFile(inst_.path());
    server_.answerVersionCheck(inst_.path(), server_.serverRecord("http"));
    // WinHTTP fails on the first file: the socket client fetches it and every later one (one
    // file at a time, so that no later file is under way through WinHTTP already).
    server_.http().route("/deploy/a-first.txt", {test::HttpAnswer::withStatus(500), test::HttpAnswer::ok("first")});
    ASSERT_TRUE(run(false, 1)) << messages();
    EXPECT_EQ(inst_.read(L"module\\Gr\u00fc\u00dfe.jar"), "module with umlauts");
    EXPECT_EQ(inst_.read(L"lib\\\u00e4 & \u00f6 (1).txt"), "no checksum");
    FILETIME written = test::lastWriteTimeOf(inst_ / L"lib\\\u00e4 & \u00f6 (1).txt");
    FILETIME listed = test::utcFileTimeOf("03.03.2023 03:03:03");
    EXPECT_EQ(CompareFileTime(&written, &listed), 0);
    size_t bySocketClient = 0;
    for (const auto& request : server_.http().requests())
        bySocketClient += request.target().find("/deploy/module/Gr%c3%bc%c3%9fe.jar") != std::string::npos &&
                          request.raw.find("User-Agent: Mozilla/4.0") != std::string::npos;
    EXPECT_EQ(bySocketClient, 1u);
    EXPECT_TRUE(loggedPrefix(LOG_INFO, L"Downloading file 'lib/\u00e4 & \u00f6 (1).txt' to '" + inst_.path()));

    // The next run finds them in place: nothing deleted, nothing fetched again.
    server_.answerVersionCheck(inst_.path(), server_.serverRecord("http"));
    const size_t before = server_.requestTargets().size();
    ASSERT_TRUE(run()) << messages();
    EXPECT_EQ(server_.requestTargets().size(), before + 2);  // the version check and the list
    EXPECT_FALSE(loggedPrefix(LOG_INFO, L"Deleting file"));
    EXPECT_EQ(inst_.read(L"module\\Gr\u00fc\u00dfe.jar"), "module with umlauts");
}

TEST_F(Synchronizer, NoServerFileAndNoSavedAnswer) {
    EXPECT_FALSE(run());
    EXPECT_TRUE(loggedPrefix(LOG_DEBUG, L"Could not find Server file " + inst_.path() + L"ornivel-Server.dat. "));
    EXPECT_TRUE(logged(LOG_DEBUG, L"Request unsuccessful, using Saved value ''"));
    EXPECT_TRUE(loggedPrefix(LOG_INFO, L"Error adapting client checksum. Error: "));
    EXPECT_TRUE(logged(LOG_FATAL, L"An error occured while retrieving automatic updates: \r\nLoading of local "
                                  L"configuration file failed.\r\n\r\nSee log file for details."));
}

TEST_F(Synchronizer, FieldServiceWithoutServerFileGoesOn) {
    EXPECT_TRUE(run(true));
    EXPECT_TRUE(loggedPrefix(LOG_INFO, L"Error adapting client checksum. Error: "));
    EXPECT_EQ(phases_.phases, std::vector<int>{PHASE_WAITING});
    EXPECT_EQ(fatalCount(), 0u);
}

TEST_F(Synchronizer, SavedAnswerStandsInForTheServerFile) {
    standardDeployment();
    DeleteFileW((inst_ / L"ornivel-Server.dat").c_str());
    RegistryString(kKey).set(fromAnsi(server_.serverRecord("http")));
    ASSERT_TRUE(run());
    EXPECT_TRUE(logged(LOG_DEBUG, L"Request unsuccessful, using Saved value '" +
                                      fromAnsi(server_.serverRecord("http")) + L"'"));
    EXPECT_EQ(inst_.read(L"module\\a.jar"), "module a");
}

TEST_F(Synchronizer, AnswerErrorAndAnswersWithoutServers) {
    server_.writeServerFile(inst_.path());
    server_.answerVersionCheck(inst_.path(), "ERROR");
    EXPECT_FALSE(run());
    EXPECT_TRUE(logged(LOG_INFO, L"Error adapting client checksum."));
    EXPECT_TRUE(logged(LOG_FATAL, L"An error occured while retrieving automatic updates: \r\nAdapting client "
                                  L"checksum failed.\r\n\r\nSee log file for details."));

    server_.answerVersionCheck(inst_.path(), "OK ");  // a server list without servers
    EXPECT_TRUE(run());
    EXPECT_TRUE(logged(LOG_DEBUG, L"Response is 'OK '"));
    EXPECT_FALSE(inst_.exists(L"TarnFileList.xml"));
}

TEST_F(Synchronizer, UnknownTypeThenAWorkingServer) {
    standardDeployment();
    // A line break in a server's path would split the request: that server is not used.
    const std::string injected = "http|127.0.0.1|/deploy\rX-Injected: 1|" + std::to_string(server_.http().httpPort()) + "|||";
    server_.answerVersionCheck(inst_.path(), "ftp|127.0.0.1|/deploy|21|||" + injected + std::string("HTTP") +
                                                 server_.serverRecord("http").substr(4));
    ASSERT_TRUE(run());
    EXPECT_TRUE(logged(LOG_DEBUG, L"Unknown type of deployment server."));
    EXPECT_TRUE(logged(LOG_ERROR, L"Deployment server '127.0.0.1' is not used: its host or path holds a control character."));
    for (const auto& request : server_.http().requests()) EXPECT_EQ(request.raw.find("X-Injected"), std::string::npos);
    EXPECT_EQ(inst_.read(L"module\\a.jar"), "module a");

    // An unknown type is passed over before its other fields are checked: no message, and
    // an answer of such servers alone still ends the run well.
    server_.answerVersionCheck(inst_.path(), "ftp|127.0.0.1|/deploy\rX|21|||");
    EXPECT_TRUE(run());
    EXPECT_TRUE(logged(LOG_DEBUG, L"Unknown type of deployment server."));
    EXPECT_FALSE(logged(LOG_ERROR, L"Deployment server '127.0.0.1' is not used: its host or path holds a control character."));
}

TEST_F(Synchronizer, ANameTheListHoldsInTheAnsiCodePageIsRequestedWithTheListsOwnBytes) {
    if (GetACP() != 1252) GTEST_SKIP() << "needs the ANSI code page 1252";
    // A list without a declaration whose name is not UTF-8: byte 196, "\u00c4" in code page 1252.
    const std::string bytes = "legacy name";
    server_.http().route("/deploy/TarnFileList.xml",
                         test::HttpAnswer::ok("<FileList>\n  <File Path=\"lib/\xC4.txt\" TimestampGMT=\"01.02.2024 10:00:00\" "
                                        "Size=\"11\" checksum=\"" + md5HexOfBytes(bytes) + "\"/>\n</FileList>\n"));
    server_.http().route("/deploy/lib/%c4.txt", test::HttpAnswer::ok(bytes));
    server_.writeServerFile(inst_.path());
    server_.answerVersionCheck(inst_.path(), server_.serverRecord("http"));
    ASSERT_TRUE(run()) << messages();
    EXPECT_EQ(inst_.read(L"lib\\\u00c4.txt"), bytes);
}

TEST_F(Synchronizer, FirstServerWithoutTheListSecondServerServesEverything) {
    standardDeployment();
    std::string first = "inet|127.0.0.1|/nolist|" + std::to_string(server_.http().httpPort()) + "|||";
    server_.answerVersionCheck(inst_.path(), first + server_.serverRecord("http") + "First~Second|");
    ASSERT_TRUE(run());
    EXPECT_TRUE(logged(LOG_DEBUG, L"Could not get remote file list."));
    EXPECT_EQ(requestsFor("/nolist/TarnFileList.xml"), 1u);
    EXPECT_EQ(requestsFor("/nolist/module/a.jar"), 0u);
    EXPECT_EQ(inst_.read(L"module\\a.jar"), "module a");
}

TEST_F(Synchronizer, ShareServerByUncPath) {
    standardDeployment();
    const std::string share = "net||" + toAnsi(server_.uncPath()) + "|0|deployer|s3cret pass|";
    server_.answerVersionCheck(inst_.path(), share + server_.serverRecord("http"));
    ASSERT_TRUE(run());
    EXPECT_TRUE(logged(LOG_DEBUG, L"Using UNC '" + server_.uncPath() + L"' for sync."));
    // The share's credentials never reach the log.
    EXPECT_TRUE(logged(LOG_DEBUG, L"Response is 'net||" + server_.uncPath() + L"|0|***|***|" +
                                      fromAnsi(server_.serverRecord("http")) + L"'"));
    for (const auto& [level, message] : capture_.messages) {
        EXPECT_EQ(message.find(L"s3cret"), std::wstring::npos) << message;
        EXPECT_EQ(message.find(L"deployer"), std::wstring::npos) << message;
    }
    // Wine has no network provider for the share connection, so there the web server takes
    // over; where the share connects, it serves everything itself.
    EXPECT_EQ(inst_.read(L"module\\a.jar"), "module a");
    EXPECT_EQ(test::readFileBytes(server_.uncPath() + L"\\module\\a.jar"), "module a");
}

TEST_F(Synchronizer, NoServerDeliversTheList) {
    server_.writeServerFile(inst_.path());
    server_.answerVersionCheck(inst_.path(), "inet|127.0.0.1|/nolist|" + std::to_string(server_.http().httpPort()) +
                                                 "|||");
    EXPECT_FALSE(run());
    EXPECT_TRUE(logged(LOG_FATAL, L"An error occured while retrieving automatic updates: \r\nDownload of file list "
                                  L"failed.\r\n\r\nSee log file for details."));
}

TEST_F(Synchronizer, AFailedDownloadKeepsTheOldList) {
    standardDeployment();
    inst_.write(L"TarnFileList.xml", "<FileList/>\n");
    server_.failFile(L"module\\b.jar", 500);
    server_.answerVersionCheck(inst_.path(), server_.serverRecord("http"));
    EXPECT_FALSE(run());
    EXPECT_EQ(inst_.read(L"TarnFileList.xml"), "<FileList/>\n");
    EXPECT_EQ(inst_.read(L"TarnFileList.new"), server_.fileListText());
    EXPECT_TRUE(inst_.exists(L"module\\a.jar"));  // what arrived before stays
    EXPECT_TRUE(logged(LOG_FATAL, L"An error occured while retrieving automatic updates: \r\nDownloading files "
                                  L"failed.\r\n\r\nSee log file for details."));
}

// The service answers "OK" once the new modules are there (it sees only them), but the update
// broke off before its other files: it is finished all the same, with the saved answer, or
// with the server list asked for anew when no answer was saved.
TEST_F(Synchronizer, AnUpdateThatBrokeOffIsFinishedAlthoughTheCheckAnswersOk) {
    for (const bool answerSaved : {true, false}) {
        SCOPED_TRACE(answerSaved ? "saved answer" : "asked anew");
        test::removeFolder(inst_.path());
        inst_.makeFolder(L"");
        standardDeployment();
        server_.answerVersionCheck(inst_.path(), server_.serverRecord("http"));
        server_.failFile(L"lib\\d.txt", 500);
        EXPECT_FALSE(run());
        EXPECT_TRUE(inst_.exists(L"TarnFileList.unfinished"));

        server_.http().clear();  // every file served again
        server_.http().serveFolder("/deploy/", server_.folder());
        server_.http().routePrefix("/check/clientChecksum%3d", {test::HttpAnswer::ok("OK")});
        server_.http().route("/check/clientChecksum%3dunfinished", test::HttpAnswer::ok(server_.serverRecord("http")));
        if (!answerSaved) RegDeleteTreeW(HKEY_CURRENT_USER, test::testRegistryKey(L"deployment").c_str());
        ASSERT_TRUE(run()) << messages();
        EXPECT_TRUE(logged(LOG_INFO, L"The last update of this installation did not finish; it is finished now."));
        EXPECT_EQ(requestsFor("/check/clientChecksum%3dunfinished"), answerSaved ? 0u : 1u);
        EXPECT_EQ(inst_.read(L"lib\\d.txt"), "plain file without checksum");
        EXPECT_EQ(inst_.read(L"TarnFileList.xml"), server_.fileListText());
        EXPECT_FALSE(inst_.exists(L"TarnFileList.unfinished"));

        // Finished: "OK" ends the next run at once.
        const size_t requests = server_.requestTargets().size();
        ASSERT_TRUE(run()) << messages();
        EXPECT_EQ(server_.requestTargets().size(), requests + 1);
    }
}

// One synchronisation per installation: a start that finds another at work says so, waits,
// and goes on once the other has finished.
TEST_F(Synchronizer, AStartWaitsWhileAnotherSynchronisesTheInstallation) {
    standardDeployment();
    server_.answerVersionCheck(inst_.path(), server_.serverRecord("http"));
    InstallationLock other(inst_.path(), log_);
    other.acquire({});
    ASSERT_TRUE(other.held());
    struct WaitSeen : ProgressListener {
        void progress(const int*, const wchar_t* text, const int*, const int*, const int*, const int*) override {
            if (text && std::wstring(text) == L"another start is updating this installation") SetEvent(seen.get());
        }
        UniqueHandle seen{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    } waitSeen;
    bool result = false;
    std::thread start([&] {
        OrnivelSynchronizer sync(false, inst_.path(), log_, false);
        sync.addListener(&waitSeen);
        result = sync.synchronizeFolder(kKey, L"");
    });
    const bool waited = WaitForSingleObject(waitSeen.seen.get(), 30000) == WAIT_OBJECT_0;
    const bool untouched = !inst_.exists(L"TarnFileList.new") && server_.requestTargets().empty();
    other.release();
    start.join();
    EXPECT_TRUE(waited);
    EXPECT_TRUE(untouched);
    EXPECT_TRUE(result) << messages();
    EXPECT_EQ(inst_.read(L"module\\a.jar"), "module a");
    EXPECT_FALSE(inst_.exists(InstallationLock::kFileName));  // the lock goes with its holder
}

// With the administrators' policy a start whose deployment cannot be reached goes on with the
// installation as it is, when its last complete update is recent enough and none is
// unfinished; without the policy nothing changes.
TEST_F(Synchronizer, OfflineStartOnlyByPolicyAfterARecentCompleteUpdate) {
    const std::wstring statusKey = statusKeyOf(inst_.path());
    RegDeleteTreeW(HKEY_CURRENT_USER, statusKey.c_str());
    UpdateResult result = RESULT_CURRENT;
    const auto start = [&](std::optional<uint32_t> days) {
        capture_.messages.clear();
        OrnivelSynchronizer sync(false, inst_.path(), log_, false);
        sync.setOfflineStartDays(days);
        const bool goesOn = sync.synchronizeFolder(kKey, L"");
        result = sync.result();
        return goesOn;
    };
    test::writeFileBytes(inst_ / L"ornivel-Server.dat", "http://127.0.0.1:9/check");  // nobody answers
    EXPECT_FALSE(start(std::nullopt));
    EXPECT_EQ(result, RESULT_NO_VERSION_CHECK);
    EXPECT_FALSE(start(7u)) << "never updated";
    recordUpdateStatus(inst_.path(), RESULT_CURRENT, L"", L"");
    EXPECT_TRUE(start(7u));
    EXPECT_TRUE(loggedPrefix(LOG_INFO, L"Working offline: the deployment cannot be reached"));
    EXPECT_EQ(result, RESULT_NO_VERSION_CHECK);

    // No server delivers the list.
    server_.writeServerFile(inst_.path());
    server_.answerVersionCheck(inst_.path(), "inet|127.0.0.1|/nolist|" + std::to_string(server_.http().httpPort()) + "|||");
    EXPECT_TRUE(start(7u));
    EXPECT_EQ(result, RESULT_NO_FILE_LIST);
    EXPECT_FALSE(loggedPrefix(LOG_FATAL, L"An error occured")) << "no final message";
    inst_.write(L"TarnFileList.unfinished", "");
    EXPECT_FALSE(start(7u)) << "an unfinished update is never started offline";
    RegDeleteTreeW(HKEY_CURRENT_USER, statusKey.c_str());
}

// A fleet report is one GET beside the version check, its values percent-encoded.
TEST_F(Synchronizer, AFleetReportIsOneRequestBesideTheVersionCheck) {
    server_.http().routePrefix("/check/report?", {test::HttpAnswer::withStatus(204)});
    FleetReportFields fields;
    fields.id = "{6F9619FF-8B86-D011-B42D-00C04FC964FF}";
    fields.host = "PC 7&8";
    fields.result = RESULT_FILE_FAILED;
    fields.checksum = "0123abc";
    fields.files = 3;
    fields.bytes = 70000;
    fields.seconds = 12;
    fields.updateOnly = true;
    FleetReport report(log_);
    ASSERT_TRUE(report.start(server_.versionCheckUrl(), fields));
    report.finish();
    const std::vector<std::string> targets = server_.requestTargets();
    ASSERT_EQ(targets.size(), 1u);
    EXPECT_EQ(targets[0], "/check/report?id=%7b6F9619FF-8B86-D011-B42D-00C04FC964FF%7d&host=PC%207%268&result=40&"
                          "checksum=0123abc&serial=&files=3&bytes=70000&seconds=12&mode=updateonly");
    EXPECT_TRUE(logged(LOG_DEBUG, L"Fleet report sent (status 204)."));
}

TEST_F(Synchronizer, AFailedVersionCheckEndsWithoutMessage) {
    server_.writeServerFile(inst_.path());
    server_.http().route("/check/unused", test::HttpAnswer::ok(""));  // every other target: 404
    EXPECT_FALSE(run());
    EXPECT_TRUE(loggedPrefix(LOG_DEBUG, L"Could not call Version check URL. Error: <<"));
    EXPECT_FALSE(loggedPrefix(LOG_FATAL, L"An error occured"));  // the source reports the status itself

    // No service listening at all.
    test::writeFileBytes(inst_ / L"ornivel-Server.dat", "http://127.0.0.1:9/check");
    EXPECT_FALSE(run());
    EXPECT_TRUE(loggedPrefix(LOG_DEBUG, L"Could not call Version check URL. Error: <<"));
    EXPECT_EQ(fatalCount(), 0u);
}

TEST_F(Synchronizer, AListNamingPathsOutsideTheInstallationChangesNothing) {
    standardDeployment();
    server_.listOnly(L"..\\outside.dll", "Size=\"1\" checksum=\"0cc175b9c0f1b6a831c399e269772661\"");
    server_.publish();
    inst_.write(L"module\\old.jar", "outdated");
    server_.answerVersionCheck(inst_.path(), server_.serverRecord("http"));
    EXPECT_FALSE(run());
    EXPECT_TRUE(inst_.exists(L"module\\old.jar"));
    EXPECT_FALSE(inst_.exists(L"module\\a.jar"));
    EXPECT_TRUE(loggedPrefix(LOG_ERROR, L"The file list " + inst_.path() + L"TarnFileList.new names '..\\outside.dll'"));
    EXPECT_TRUE(logged(LOG_FATAL, L"An error occured while retrieving automatic updates: \r\nDownload of file list "
                                  L"failed.\r\n\r\nSee log file for details."));
}

TEST_F(Synchronizer, AListCutShortEmptyOrNoListAtAllChangesNothing) {
    standardDeployment();
    inst_.write(L"module\\old.jar", "outdated");
    server_.answerVersionCheck(inst_.path(), server_.serverRecord("http"));
    const std::string list = server_.fileListText();
    const std::pair<std::string, std::wstring> answers[] = {
        {list.substr(0, list.size() / 2), L"could not be read whole."},
        {"<FileList/>", L"names no files."},
        {"<html><body><h1>Maintenance</h1></body></html>", L"names '', whose path is empty."},
    };
    for (const auto& [body, reason] : answers) {
        server_.corruptFile(L"TarnFileList.xml", body);
        EXPECT_FALSE(run());
        EXPECT_TRUE(inst_.exists(L"module\\old.jar"));
        EXPECT_FALSE(inst_.exists(L"module\\b.jar"));
        EXPECT_TRUE(logged(LOG_ERROR, L"The file list " + inst_.path() + L"TarnFileList.new " + reason)) << messages();
        EXPECT_TRUE(logged(LOG_FATAL, L"An error occured while retrieving automatic updates: \r\nDownload of file list "
                                      L"failed.\r\n\r\nSee log file for details."));
    }
}

TEST_F(Synchronizer, ADamagedFileFailsTheRun) {
    standardDeployment();
    server_.corruptFile(L"module\\a.jar", "not what the list says");
    server_.answerVersionCheck(inst_.path(), server_.serverRecord("http"));
    EXPECT_FALSE(run());
    EXPECT_FALSE(inst_.exists(L"TarnFileList.xml"));
    EXPECT_TRUE(loggedPrefix(LOG_ERROR, L"Downloaded file '"));
}

TEST_F(Synchronizer, HttpsAndRedirectedFiles) {
    if (server_.http().httpsPort() == 0) GTEST_SKIP() << "no TLS in this prefix";
    standardDeployment();
    // The scheme in capitals is TLS all the same.
    std::string url = server_.versionCheckUrl(true);
    url.replace(0, 5, "HTTPS");
    test::writeFileBytes(inst_ / L"ornivel-Server.dat", url + "\n");
    server_.redirectFile(L"module\\a.jar", false, true);
    server_.answerVersionCheck(inst_.path(), server_.serverRecord("https"));
    ASSERT_TRUE(run());
    for (const auto& request : server_.http().requests()) EXPECT_TRUE(request.tls) << request.requestLine();
    EXPECT_EQ(inst_.read(L"module\\a.jar"), "module a");
    EXPECT_EQ(requestsFor("/deploy/moved/module/a.jar"), 1u);
}


TEST_F(Synchronizer, RedirectedFileOverHttp) {
    standardDeployment();
    server_.redirectFile(L"lib\\d.txt", false);
    server_.answerVersionCheck(inst_.path(), server_.serverRecord("http"));
    ASSERT_TRUE(run());
    EXPECT_EQ(inst_.read(L"lib\\d.txt"), "plain file without checksum");
    EXPECT_EQ(requestsFor("/deploy/moved/lib/d.txt"), 1u);
}

TEST_F(Synchronizer, ParentFolderCopiesWhenAnIniFileExists) {
    TempFolder outer(L"outer");
    outer.write(L"inst\\ornivel.ini", "[x]\n");
    test::WorkingFolder inner(outer / L"inst");
    server_.putFile(L"module\\a.jar", "module a");
    server_.publish();
    server_.writeServerFile(outer / L"inst\\");
    server_.answerVersionCheck(outer / L"inst\\", server_.serverRecord("http"));
    OrnivelSynchronizer sync(false, outer / L"inst\\", log_, false);
    ASSERT_TRUE(sync.synchronizeFolder(kKey, L""));
    EXPECT_TRUE(logged(LOG_DEBUG, L"ornivel.ini exists."));
    EXPECT_EQ(outer.read(L"ornivel.ini"), "[x]\n");
    EXPECT_EQ(outer.read(L"ornivel.exe"), test::readFileBytes(modulePath()));
}

// A signed deployment: the installation holds the public key, the deployment is signed with
// the secret key (serial 100).
class SignedSynchronizer : public Synchronizer {
protected:
    SignedSynchronizer() {
        makeKeyPair(publicKey_, secretKey_);
        server_.putFile(L"module\\a.jar", "module a");
        server_.putFile(L"module\\b.jar", "module b, first version");
        server_.putFile(L"lib\\d.txt", "a plain file");
        publishSigned(secretKey_, 100);
        server_.writeServerFile(inst_.path());
        inst_.write(L"ornivel-Key.txt", publicKeyText(publicKey_) + "\r\n");
        RegDeleteTreeW(HKEY_CURRENT_USER, serialKey().c_str());
    }
    ~SignedSynchronizer() override { RegDeleteTreeW(HKEY_CURRENT_USER, serialKey().c_str()); }

    std::wstring serialKey() const {
        std::wstring key = kListSerialPrefix + installationNameOf(inst_.path());
        key.pop_back();
        return key;
    }
    std::wstring storedSerial() const { return RegistryString(serialKey() + L"\\").read(); }
    // The value kept for an accepted list: its serial, the key that verified it, and the list's
    // digest.
    std::wstring stored(uint64_t serial) const { return stored(serial, publicKey_); }
    std::wstring stored(uint64_t serial, const PublicKey& key) const {
        return std::to_wstring(serial) + L" " + fromUtf8(publicKeyText(key)) + L" list=" +
               fromUtf8(md5HexOfBytes(list_));
    }
    // The deployment published signed as ornivel-publish publishes it: every entry that has an
    // MD5 also with its SHA-256, the list element with `attributes` (" Expires=...", " Servers=..."),
    // signed with `key`.
    void publishSigned(const SecretKey& key, uint64_t serial, const std::string& attributes = "") {
        server_.signWith(key, serial);
        server_.publish();
        std::string list = server_.fileListText();
        for (size_t at = list.find("<File Path=\""); at != std::string::npos; at = list.find("<File Path=\"", at + 1)) {
            const size_t pathStart = at + 12, pathEnd = list.find('"', pathStart), end = list.find("/>", at);
            if (list.substr(at, end - at).find(" checksum=\"") == std::string::npos) continue;
            const std::wstring path = fromUtf8(list.substr(pathStart, pathEnd - pathStart));
            list.insert(end, " sha256=\"" + sha256HexOfBytes(test::readFileBytes(server_.folder() + path)) + "\"");
        }
        list.insert(list.find('>'), attributes);
        putSignedList(list, key);
    }
    void putSignedList(const std::string& list, const SecretKey& key) {
        list_ = list;
        test::writeFileBytes(server_.folder() + L"TarnFileList.xml", list);
        test::writeFileBytes(server_.folder() + L"TarnFileList.xml.sig", signList(list, key));
    }
    bool runAgainstServer(const std::string& answer = std::string()) {
        server_.answerVersionCheck(inst_.path(), answer.empty() ? server_.serverRecord("http") : answer);
        return run();
    }
    // A run that must refuse the list with the error `reason`: it fails with the final
    // message, fetches nothing but the list and its signature, and changes nothing.
    void expectRefused(const std::wstring& reason, const std::string& answer = std::string()) {
        const auto before = test::filesBelow(inst_.path());
        const std::wstring serial = storedSerial();
        const size_t requests = server_.requestTargets().size();
        EXPECT_FALSE(runAgainstServer(answer));
        EXPECT_TRUE(loggedPrefix(LOG_ERROR, reason)) << messages();
        EXPECT_TRUE(logged(LOG_FATAL, L"An error occured while retrieving automatic updates: \r\nDownload of file list "
                                      L"failed.\r\n\r\nSee log file for details."));
        EXPECT_EQ(test::filesBelow(inst_.path()), before);
        EXPECT_EQ(storedSerial(), serial);
        const auto targets = server_.requestTargets();
        for (size_t i = requests; i < targets.size(); ++i) {
            const std::string target = targets[i].substr(targets[i].find_first_not_of('/') - 1);  // the socket client's "//"
            EXPECT_TRUE(target.rfind("/check/", 0) == 0 || target == "/deploy/TarnFileList.xml" ||
                        target == "/deploy/TarnFileList.xml.sig")
                << target;
        }
    }

    PublicKey publicKey_{};
    SecretKey secretKey_{};
    std::string list_;  // the list as published last
};

TEST_F(SignedSynchronizer, SignedDeploymentSynchronisesAndNoAlteredListChangesAnything) {
    ASSERT_TRUE(runAgainstServer()) << messages();
    EXPECT_TRUE(logged(LOG_INFO, L"The file list's signature is valid."));
    EXPECT_EQ(inst_.read(L"module\\b.jar"), "module b, first version");
    EXPECT_EQ(inst_.read(L"TarnFileList.xml"), list_);
    EXPECT_FALSE(inst_.exists(L"TarnFileList.new.sig"));
    EXPECT_EQ(storedSerial(), stored(100));

    // Version 2 (serial 101), changed on its way in each of these ways.
    server_.putFile(L"module\\b.jar", "module b, second version");
    publishSigned(secretKey_, 101);
    std::string altered = list_;
    altered[altered.find("module\\b.jar") + 7] ^= 1;  // names module\c.jar instead
    test::writeFileBytes(server_.folder() + L"TarnFileList.xml", altered);
    expectRefused(L"The signature of the deployment server's file list does not match this installation's key");

    PublicKey otherPublic{};
    SecretKey otherSecret{};
    makeKeyPair(otherPublic, otherSecret);
    publishSigned(otherSecret, 101);
    expectRefused(L"The signature of the deployment server's file list does not match");

    publishSigned(secretKey_, 101);
    DeleteFileW((server_.folder() + L"TarnFileList.xml.sig").c_str());
    expectRefused(L"The file list of the deployment server has no signature (TarnFileList.xml.sig could not be fetched)");
    server_.unsign();
    server_.publish();
    expectRefused(L"The file list of the deployment server has no signature");

    server_.putFile(L"lib\\e.txt", "without checksum", "01.02.2024 10:00:00", false);
    publishSigned(secretKey_, 101);
    expectRefused(L"The signed file list names 'lib\\e.txt' without a valid SHA-256 checksum");
    server_.removeFile(L"lib\\e.txt");
    publishSigned(secretKey_, 0);
    expectRefused(L"The signed file list carries no serial number");

    // The genuine list with a file altered on its way: the altered bytes never take the file's
    // place (the genuine service would answer "OK" to their name and size).
    publishSigned(secretKey_, 101);
    server_.http().route("/deploy/module/b.jar", {test::HttpAnswer::ok("module b, second versioN"),
                                                  test::HttpAnswer::ok("module b, second version")});
    EXPECT_FALSE(runAgainstServer());
    EXPECT_TRUE(logged(LOG_ERROR, L"Downloaded file '" + inst_.path() + L"module\\b.jar' does not match its checksum."));
    EXPECT_EQ(inst_.read(L"module\\b.jar"), "module b, first version");
    EXPECT_FALSE(inst_.exists(RemoteSource::partialPath(L"module\\b.jar")));

    ASSERT_TRUE(runAgainstServer()) << messages();
    EXPECT_EQ(inst_.read(L"module\\b.jar"), "module b, second version");
    EXPECT_EQ(storedSerial(), stored(101));
}

TEST_F(SignedSynchronizer, AnOlderListStaysRefusedWhenTheLocalListOrTheStoredSerialIsGone) {
    ASSERT_TRUE(runAgainstServer()) << messages();
    const std::string oldList = list_;
    const std::string oldSignature = test::readFileBytes(server_.folder() + L"TarnFileList.xml.sig");
    server_.putFile(L"module\\b.jar", "module b, second version");
    publishSigned(secretKey_, 101);
    ASSERT_TRUE(runAgainstServer()) << messages();

    // The genuine older pair, replayed with the older file.
    server_.corruptFile(L"TarnFileList.xml", oldList);
    server_.corruptFile(L"TarnFileList.xml.sig", oldSignature);
    server_.corruptFile(L"module\\b.jar", "module b, first version");
    const std::wstring refusal =
        L"The deployment server's file list (serial 100) is older than the one accepted before (serial 101)";
    expectRefused(refusal);
    const std::string localList = inst_.read(L"TarnFileList.xml");
    DeleteFileW((inst_ / L"TarnFileList.xml").c_str());
    expectRefused(refusal);
    inst_.write(L"TarnFileList.xml", localList);
    RegDeleteTreeW(HKEY_CURRENT_USER, serialKey().c_str());
    expectRefused(refusal);
    // A serial stored for another key does not count.
    RegistryString(serialKey() + L"\\").set(L"900 ed25519 " + std::wstring(64, L'0'));
    DeleteFileW((inst_ / L"TarnFileList.xml").c_str());
    ASSERT_TRUE(runAgainstServer()) << messages();
    EXPECT_EQ(inst_.read(L"module\\b.jar"), "module b, first version");
}

// One list per serial: the accepted list may come again, another list with its serial may not,
// whether the local list or only the kept digest tells what was accepted.
TEST_F(SignedSynchronizer, AnotherListWithTheAcceptedSerialIsRefused) {
    ASSERT_TRUE(runAgainstServer()) << messages();
    ASSERT_TRUE(runAgainstServer()) << messages();
    server_.putFile(L"module\\b.jar", "module b, other contents under the same serial");
    publishSigned(secretKey_, 100);
    const std::wstring refusal = L"The deployment server's file list has the serial of the list accepted before "
                                 L"(serial 100) but other contents";
    expectRefused(refusal);
    DeleteFileW((inst_ / L"TarnFileList.xml").c_str());
    expectRefused(refusal);
}

// What is checked is what is used: a writer that replaces the list file right after its
// signature was checked changes nothing.
TEST_F(SignedSynchronizer, AListReplacedAfterItsCheckChangesNothing) {
    struct Forger : ProgressListener {
        void progress(const int* phase, const wchar_t*, const int*, const int*, const int*, const int*) override {
            if (!phase || *phase != PHASE_SEARCHING_UPDATES || tried) return;
            tried = true;
            UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                          OPEN_EXISTING, 0, nullptr));
            DWORD written = 0;
            replaced = file && WriteFile(file.get(), forged.data(), static_cast<DWORD>(forged.size()), &written, nullptr);
            file.reset();
            replaced = MoveFileExW(forgedPath.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING) || replaced;
        }
        std::wstring path, forgedPath;
        std::string forged;
        bool tried = false, replaced = false;
    } forger;
    test::TestDeploymentServer forgery;
    forgery.putFile(L"module\\evil.jar", "not from the deployment");
    forgery.publish();
    forger.forged = forgery.fileListText();
    forger.path = inst_ / L"TarnFileList.new";
    forger.forgedPath = inst_ / L"forged.xml";
    inst_.write(L"forged.xml", forger.forged);
    phases_.phases.clear();
    server_.answerVersionCheck(inst_.path(), server_.serverRecord("http"));
    capture_.messages.clear();
    OrnivelSynchronizer sync(false, inst_.path(), log_, false);
    sync.addListener(&forger);
    ASSERT_TRUE(sync.synchronizeFolder(kKey, L"")) << messages();
    EXPECT_TRUE(forger.tried);
    EXPECT_FALSE(forger.replaced);
    EXPECT_FALSE(inst_.exists(L"module\\evil.jar"));
    EXPECT_EQ(inst_.read(L"module\\a.jar"), "module a");
    EXPECT_EQ(inst_.read(L"TarnFileList.xml"), list_);
}

TEST_F(SignedSynchronizer, ADamagedKeyFileRefusesEveryListAndWithoutOneNothingIsChecked) {
    inst_.write(L"ornivel-Key.txt", publicKeyText(publicKey_).substr(0, 40) + "\r\n");
    expectRefused(L"The deployment key file " + inst_.path() + L"ornivel-Key.txt is damaged");
    DeleteFileW((inst_ / L"ornivel-Key.txt").c_str());
    CreateDirectoryW((inst_ / L"ornivel-Key.txt").c_str(), nullptr);
    expectRefused(L"The deployment key file " + inst_.path() + L"ornivel-Key.txt cannot be read");
    RemoveDirectoryW((inst_ / L"ornivel-Key.txt").c_str());

    ASSERT_TRUE(runAgainstServer()) << messages();
    EXPECT_EQ(inst_.read(L"module\\b.jar"), "module b, first version");
    EXPECT_EQ(requestsFor("/deploy/TarnFileList.xml.sig"), 0u);
    EXPECT_EQ(storedSerial(), L"");
}

// Where an entry gives its SHA-256, that decides whether a file is the listed one; a signed list
// gives it for every entry (an MD5 alone no longer binds a file's content).
TEST_F(SignedSynchronizer, Sha256DecidesAndEverySignedEntryHasOne) {
    ASSERT_TRUE(runAgainstServer()) << messages();
    server_.putFile(L"lib\\d.txt", "a plain file, second version");
    server_.signWith(secretKey_, 101);
    server_.publish();
    putSignedList(server_.fileListText(), secretKey_);  // MD5 only
    expectRefused(L"The signed file list names 'lib\\d.txt' without a valid SHA-256 checksum");

    // The served file's MD5 is the listed one, its SHA-256 is not: it never takes its name.
    publishSigned(secretKey_, 101);
    const std::string genuine = sha256HexOfBytes("a plain file, second version");
    std::string list = list_;
    list.replace(list.find(genuine), genuine.size(), sha256HexOfBytes("another file"));
    putSignedList(list, secretKey_);
    EXPECT_FALSE(runAgainstServer());
    EXPECT_TRUE(logged(LOG_ERROR, L"Downloaded file '" + inst_.path() + L"lib\\d.txt' does not match its checksum."))
        << messages();
    EXPECT_EQ(inst_.read(L"lib\\d.txt"), "a plain file");

    // And the other way round: a wrong MD5 beside the right SHA-256 does not count.
    publishSigned(secretKey_, 102);
    list = list_;
    const std::string md5 = md5HexOfBytes("a plain file, second version");
    list.replace(list.find(md5), md5.size(), md5HexOfBytes("another file"));
    putSignedList(list, secretKey_);
    ASSERT_TRUE(runAgainstServer()) << messages();
    EXPECT_EQ(inst_.read(L"lib\\d.txt"), "a plain file, second version");
    const size_t requests = requestsFor("/deploy/lib/d.txt");
    ASSERT_TRUE(runAgainstServer()) << messages();
    EXPECT_EQ(requestsFor("/deploy/lib/d.txt"), requests) << "the file in place is the listed one";
}

// A leaked key cannot lock installations out with a huge serial: a serial more than a year
// beyond the current time is refused.
TEST_F(SignedSynchronizer, ASerialMoreThanAYearAheadIsRefused) {
    ASSERT_TRUE(runAgainstServer()) << messages();
    const uint64_t now = secondsSince1970Now();
    publishSigned(secretKey_, now + 400 * 86400);
    expectRefused(L"The deployment server's file list has the serial " + std::to_wstring(now + 400 * 86400) +
                  L", more than a year beyond this computer's time");
    publishSigned(secretKey_, now + 300 * 86400);
    ASSERT_TRUE(runAgainstServer()) << messages();
    EXPECT_EQ(storedSerial(), stored(now + 300 * 86400));
}

// A list with "Expires" is refused once that time has passed (a frozen or replayed deployment).
TEST_F(SignedSynchronizer, AnExpiredListIsRefused) {
    const uint64_t now = secondsSince1970Now();
    publishSigned(secretKey_, 101, " Expires=\"" + std::to_string(now + 86400) + "\"");
    ASSERT_TRUE(runAgainstServer()) << messages();
    server_.putFile(L"module\\b.jar", "module b, second version");
    publishSigned(secretKey_, 102, " Expires=\"" + std::to_string(now - 1) + "\"");
    expectRefused(L"The deployment server's file list expired on " + fromUtf8(isoUtcText(int64_t(now - 1))) +
                  L" (it was valid until then): the deployment may be frozen or an old one replayed.");
}

// Moving to a new key: the deployment hands out a key file with the old and the new key, signs
// with the new one, then hands out the new key alone. The key file itself is never removed, and
// a key file that holds no key never replaces the installation's.
TEST_F(SignedSynchronizer, KeyRolloverThroughTheKeyFileAsAListEntry) {
    PublicKey newPublic{};
    SecretKey newSecret{};
    ASSERT_TRUE(makeKeyPair(newPublic, newSecret));
    const std::string both = publicKeyText(publicKey_) + "\r\n" + publicKeyText(newPublic) + "\r\n";
    server_.putFile(L"ornivel-Key.txt", both);
    publishSigned(secretKey_, 101);
    ASSERT_TRUE(runAgainstServer()) << messages();
    EXPECT_EQ(inst_.read(L"ornivel-Key.txt"), both);

    server_.putFile(L"module\\b.jar", "module b, signed with the new key");
    publishSigned(newSecret, 102);
    ASSERT_TRUE(runAgainstServer()) << messages();
    EXPECT_EQ(inst_.read(L"module\\b.jar"), "module b, signed with the new key");
    EXPECT_EQ(storedSerial(), stored(102, newPublic));

    const std::string newOnly = publicKeyText(newPublic) + "\r\n";
    server_.putFile(L"ornivel-Key.txt", newOnly);
    publishSigned(newSecret, 103);
    ASSERT_TRUE(runAgainstServer()) << messages();
    EXPECT_EQ(inst_.read(L"ornivel-Key.txt"), newOnly);
    publishSigned(secretKey_, 104);
    expectRefused(L"The signature of the deployment server's file list does not match this installation's key");

    server_.removeFile(L"ornivel-Key.txt");
    publishSigned(newSecret, 105);
    ASSERT_TRUE(runAgainstServer()) << messages();
    EXPECT_EQ(inst_.read(L"ornivel-Key.txt"), newOnly) << "a list that no longer names the key file keeps it";

    server_.putFile(L"ornivel-Key.txt", "ed25519 not a key\r\n");
    publishSigned(newSecret, 106);
    EXPECT_FALSE(runAgainstServer());
    EXPECT_TRUE(loggedPrefix(LOG_ERROR, L"The deployment's new key file " + inst_.path() + L"ornivel-Key.txt holds no "
                                        L"usable key"))
        << messages();
    EXPECT_EQ(inst_.read(L"ornivel-Key.txt"), newOnly);
}

// Once a signed list named the deployment servers, a version-check answer may name no others:
// neither a share or host of someone else's nor the same host over another scheme.
TEST_F(SignedSynchronizer, AnAnswerNamesOnlyServersTheSignedListNamed) {
    const std::string http = server_.serverRecord("http");
    std::string inet = http, https = http;  // the same host through another source, over another scheme
    inet.replace(0, 4, "inet");
    https.replace(0, 4, "https");
    publishSigned(secretKey_, 101, " Servers=\"" + http + "\"");
    ASSERT_TRUE(runAgainstServer(inet)) << "before a list named servers, the answer as it is: " << messages();

    server_.putFile(L"module\\b.jar", "module b, second version");
    publishSigned(secretKey_, 102, " Servers=\"" + http + "\"");
    ASSERT_TRUE(runAgainstServer(inet + http)) << messages();
    EXPECT_TRUE(logged(LOG_WARNING, L"Deployment server " + fromAnsi(inet.substr(0, inet.size() - 3)) +
                                        L" is not used: the deployment's signed file list does not name it."))
        << messages();
    EXPECT_EQ(inst_.read(L"module\\b.jar"), "module b, second version");

    server_.putFile(L"module\\b.jar", "module b, third version");
    publishSigned(secretKey_, 103, " Servers=\"" + http + "\"");
    for (const std::string& answer : {inet, https, server_.serverRecord("net")})
        expectRefused(L"The version check names none of the deployment servers that the deployment's signed file list "
                      L"names",
                      answer);
    ASSERT_TRUE(runAgainstServer(http)) << messages();
    EXPECT_EQ(inst_.read(L"module\\b.jar"), "module b, third version");
}

} // namespace
} // namespace ornivel
