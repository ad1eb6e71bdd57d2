// A deployment as administrators make it: a client folder published by ornivel-publish on
// the Linux side, served by nginx over HTTPS and HTTP with the fragment the publisher wrote,
// and the real launcher bringing an installation up to date from it; the run reports that
// fragment takes, read back as the fleet.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>

#include "common/Text.h"
#include "remote/UrlEncode.h"
#include "tests/e2e/E2eSupport.h"
#include "tests/support/nginx/NginxHost.h"
#include "tests/support/windows/WindowDriver.h"

namespace ornivel {
namespace {

using namespace test;
using namespace test::e2e;

const char* const kUmlautJar = "module\\Gr\xc3\xbc\xc3\x9f" "e-2.1.jar";
const char* const kReport = "M\xc3\xbcller & S\xc3\xb6hne\\O'Neil's Bericht (2024).txt";

// The client: module archives (one with a non-ASCII name), sub-folders of "module" whose
// order on NTFS differs from their byte order, nested folders, names with "&" and "'", an
// empty file.
std::map<std::wstring, std::string> clientVersion1() {
    return {{L"module\\core-1.0.jar", "core archive, version 1.0"},
            {L"module\\ui-2.3.jar", std::string(70000, 'u')},
            {fromUtf8(kUmlautJar), "greetings"},
            {L"module\\b-ext\\readme.txt", "b"},
            {L"module\\A-ext\\deep\\x.txt", "a"},
            {L"module\\_tools\\t.txt", "t"},
            {L"module\\\u00e4pfel\\a.txt", "apples"},
            {L"system\\jar\\module-print-1.4.jar", "print module"},
            {L"system\\empty.txt", ""},
            {fromUtf8(kReport), "report"},
            {L"lib\\deep\\er\\nest.txt", "nested"},
            {L"lib\\old.txt", "no longer needed in version 2"}};
}

void writeClient(const TempFolder& folder, const std::map<std::wstring, std::string>& files) {
    for (const auto& [path, bytes] : files) {
        DeleteFileW((folder / path).c_str());  // a new file, as a build makes it
        folder.write(path, bytes);
    }
}

// The installation's files that came from the deployment (not the launcher, runtime and log).
std::map<std::wstring, std::string> deployedPart(const TempFolder& installation) {
    std::map<std::wstring, std::string> files;
    for (auto& [path, bytes] : filesBelow(installation.path())) {
        const std::wstring top = path.substr(0, path.find(L'\\'));
        if (top == L"module" || top == L"system" || top == L"lib" || top == fromUtf8("M\xc3\xbcller & S\xc3\xb6hne"))
            files[path] = bytes;
    }
    return files;
}

// The client checksum the publication answers "OK" for.
std::string publishedChecksum(const std::wstring& deployment) {
    std::string checksum;
    for (const auto& entry : std::filesystem::directory_iterator(deployment + L"check")) {
        const std::string name = toUtf8(entry.path().filename().wstring());
        if (name.rfind("clientChecksum=", 0) == 0) checksum = checksum.empty() ? name.substr(15) : "several";
    }
    return checksum;
}

struct Request {
    std::string scheme;
    std::string status;
    std::string path;  // percent-decoded
};

std::string percentDecoded(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// The requests nginx logged after `offset` bytes of its access log.
std::vector<Request> requestsSince(const NginxHost& host, size_t offset) {
    std::vector<Request> requests;
    const std::string log = readFileBytes(host.accessLog());
    for (const std::string& line : splitLines(log.substr(std::min(offset, log.size())))) {
        const size_t a = line.find(' '), b = line.find(' ', a + 1), c = line.find(' ', b + 1);
        if (c == std::string::npos) continue;
        requests.push_back({line.substr(0, a), line.substr(a + 1, b - a - 1), percentDecoded(line.substr(c + 1))});
    }
    return requests;
}

// The files fetched among the requests (paths with "\"), each request having been answered 200
// over `scheme`.
std::set<std::wstring> fetchedFiles(const std::vector<Request>& requests, const std::string& scheme) {
    std::set<std::wstring> files;
    const std::string prefix = "/ornivel/deploy/";
    for (const Request& request : requests) {
        EXPECT_EQ(request.scheme, scheme) << request.path;
        EXPECT_EQ(request.status, "200") << request.path;
        if (request.path.rfind(prefix, 0) != 0 || request.path == prefix + "TarnFileList.xml") continue;
        std::wstring path = fromUtf8(request.path.substr(prefix.size()));
        for (wchar_t& c : path)
            if (c == L'/') c = L'\\';
        files.insert(path);
    }
    return files;
}

std::set<std::wstring> pathsOf(const std::map<std::wstring, std::string>& files) {
    std::set<std::wstring> paths;
    for (const auto& file : files) paths.insert(file.first);
    return paths;
}

class EndToEndPublish : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(host.running()) << "the Linux-side helper did not start";
        ASSERT_TRUE(fileExists(windowsPathOf(ORNIVEL_NATIVE_PUBLISH)))
            << ORNIVEL_NATIVE_PUBLISH << " is missing: build the native publisher (scripts/test.sh does)";
        standin::install(inst);
        standin::Scenario quiet;
        quiet.window = false;
        quiet.clientMs = 100;
        standin::writeScenario(inst, quiet);
    }

    // Publishes the client with the native publisher; the client checksum it answers "OK" for.
    std::string publish(const std::vector<std::string>& options) {
        std::vector<std::string> argv = {ORNIVEL_NATIVE_PUBLISH, unixPathOf(client.path()), unixPathOf(deployment())};
        argv.insert(argv.end(), options.begin(), options.end());
        const NginxHost::Result result = host.run(argv);
        EXPECT_EQ(result.status, 0) << result.output;
        return publishedChecksum(deployment());
    }
    std::wstring deployment() const { return work / L"deployment\\"; }
    std::string server(const std::string& scheme, int port) const {
        return scheme + (scheme == "https" ? "|localhost|" : "|127.0.0.1|") + "/ornivel/deploy|" + std::to_string(port);
    }
    void pointAt(const std::string& scheme, int port) {
        inst.write(L"ornivel-Server.dat",
                   scheme + (scheme == "https" ? "://localhost:" : "://127.0.0.1:") + std::to_string(port) +
                       "/ornivel/check\r\n");
    }
    // Runs the launcher; the requests nginx saw meanwhile.
    std::vector<Request> start() {
        const size_t offset = readFileBytes(host.accessLog()).size();
        const ProcessResult run = launcher.run(L"-singus", 60000);
        EXPECT_FALSE(run.timedOut);
        EXPECT_EQ(run.status(), 1) << launcher.logText();
        EXPECT_EQ(launcher.logText().find("| fatal"), std::string::npos) << launcher.logText();
        return requestsSince(host, offset);
    }

    NginxHost host;
    TempFolder work{L"e2e-publish"};
    TempFolder client{L"e2e-client", work.path()};
    TempFolder inst{L"e2e-pubinst"};
    StoredValues stored{inst};
    LauncherRun launcher{inst};
};

TEST_F(EndToEndPublish, ClientFolderPublishedServedByNginxAndUpdatedFileByFile) {
    // Version 1, offered over HTTPS (the test CA's certificate).
    std::map<std::wstring, std::string> version1 = clientVersion1();
    writeClient(client, version1);
    const std::string checksum1 = publish({"--server", server("https", host.httpsPort()) + "|Deployment (TLS)"});
    ASSERT_EQ(checksum1.size(), 32u) << checksum1;
    std::string complaint;
    ASSERT_TRUE(host.serve(deployment() + L"nginx.conf", complaint)) << complaint;

    // The Windows build of the publisher makes the same deployment from the same folder.
    {
        const std::wstring windowsDeployment = work / L"windows-deployment\\";
        // (No backslash before a closing quote: the command line would read it as a quote.)
        const ProcessResult made = runWithOutput(
            windowsPathOf(ORNIVEL_WINDOWS_PUBLISH),
            L"\"" + client / L"." + L"\" \"" + work / L"windows-deployment" + L"\" --server \"" +
                fromUtf8(server("https", host.httpsPort())) + L"|Deployment (TLS)\"",
            work.path(), work / L"windows-publish.txt");
        ASSERT_EQ(made.status(), 0) << readFileBytes(work / L"windows-publish.txt");
        EXPECT_EQ(readFileBytes(windowsDeployment + L"deploy\\TarnFileList.xml"),
                  readFileBytes(deployment() + L"deploy\\TarnFileList.xml"));
        EXPECT_EQ(publishedChecksum(windowsDeployment), checksum1);
        EXPECT_EQ(readFileBytes(windowsDeployment + L"check\\servers"), readFileBytes(deployment() + L"check\\servers"));
    }

    pointAt("https", host.httpsPort());
    std::vector<Request> requests = start();
    EXPECT_EQ(deployedPart(inst), version1);
    EXPECT_EQ(checksumOf(inst.path()), checksum1) << "the launcher's own checksum of the updated installation";
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests[0].path.rfind("/ornivel/check/clientChecksum=", 0), 0u) << requests[0].path;
    EXPECT_EQ(fetchedFiles(requests, "https"), pathsOf(version1));

    // Version 2: one archive rebuilt, one added, one file dropped; offered over HTTP now.
    std::map<std::wstring, std::string> version2 = version1;
    version2[L"module\\core-1.0.jar"] = "core archive, version 1.0, rebuilt";
    version2[L"module\\extra-1.0.jar"] = "an extra module";
    version2.erase(L"lib\\old.txt");
    DeleteFileW((client / L"lib\\old.txt").c_str());
    writeClient(client, {{L"module\\core-1.0.jar", version2[L"module\\core-1.0.jar"]},
                         {L"module\\extra-1.0.jar", version2[L"module\\extra-1.0.jar"]}});
    const std::string checksum2 = publish({"--server", server("http", host.httpPort())});
    ASSERT_NE(checksum2, checksum1);
    pointAt("http", host.httpPort());
    requests = start();
    EXPECT_EQ(fetchedFiles(requests, "http"),
              (std::set<std::wstring>{L"module\\core-1.0.jar", L"module\\extra-1.0.jar"}))
        << "exactly the changed files";
    EXPECT_EQ(deployedPart(inst), version2);
    EXPECT_EQ(checksumOf(inst.path()), checksum2);

    // The next start is answered "OK" and fetches nothing.
    requests = start();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].path, "/ornivel/check/clientChecksum=" + checksum2);
    EXPECT_EQ(requests[0].status, "200");
    EXPECT_NE(launcher.logText().find("Version checksum is OK. No synchronisation necessary."), std::string::npos)
        << launcher.logText();
}

TEST_F(EndToEndPublish, SignedDeploymentOverPlainHttpAndAnAlteredListRefused) {
    // The key pair is made on the build machine; the installation holds the public key.
    const std::wstring keys = work / L"keys\\";
    const NginxHost::Result made = host.run({ORNIVEL_NATIVE_PUBLISH, "keygen", unixPathOf(keys)});
    ASSERT_EQ(made.status, 0) << made.output;
    ASSERT_TRUE(CopyFileW((keys + L"ornivel-Key.txt").c_str(), (inst / L"ornivel-Key.txt").c_str(), TRUE));
    const std::string key = unixPathOf(keys + L"ornivel-signing.key");

    std::map<std::wstring, std::string> version1 = {{L"module\\core-1.0.jar", "core, version 1"},
                                                    {fromUtf8(kReport), "report"}};
    writeClient(client, version1);
    publish({"--server", server("http", host.httpPort()), "--key", key});
    std::string complaint;
    ASSERT_TRUE(host.serve(deployment() + L"nginx.conf", complaint)) << complaint;
    pointAt("http", host.httpPort());
    std::vector<Request> requests = start();
    EXPECT_EQ(deployedPart(inst), version1);
    EXPECT_EQ(std::count_if(requests.begin(), requests.end(),
                            [](const Request& r) { return r.path == "/ornivel/deploy/TarnFileList.xml.sig"; }),
              1);
    EXPECT_NE(launcher.logText().find("The file list's signature is valid."), std::string::npos) << launcher.logText();

    // Version 2, one byte of its list changed on the way (here: on the server): refused, and
    // the user is told so before the update fails.
    writeClient(client, {{L"module\\core-1.0.jar", "core, version 2.0"}});
    publish({"--key", key});
    std::string list = readFileBytes(deployment() + L"deploy\\TarnFileList.xml");
    list[list.find("core-1.0.jar")] = 'k';
    writeFileBytes(deployment() + L"deploy\\TarnFileList.xml", list);
    {
        ChildProcess process(launcher.installLauncher(), L"-singus", inst.path());
        ASSERT_TRUE(process.started());
        HWND box = waitForMessageBox(process.id(), 30000);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(messageBoxText(box).rfind(L"The signature of the deployment server's file list does not match this "
                                            L"installation's key (ornivel-Key.txt)", 0),
                  0u)
            << toUtf8(messageBoxText(box));
        answerMessageBox(box, IDOK);
        HWND final = nullptr;
        for (const DWORD start = GetTickCount(); !final && GetTickCount() - start < 20000;) {
            HWND next = waitForMessageBox(process.id(), 1000);
            if (next && messageBoxText(next).rfind(L"An error occured", 0) == 0) final = next;
        }
        ASSERT_NE(final, nullptr);
        EXPECT_EQ(messageBoxText(final),
                  L"An error occured while retrieving automatic updates: \r\nDownload of file list failed.\r\n\r\n"
                  L"See log file for details.");
        answerMessageBox(final, IDOK);
        DWORD code = 0;
        ASSERT_TRUE(process.waitForExit(15000, code));
        EXPECT_EQ(code, 1u);
    }
    EXPECT_EQ(deployedPart(inst), version1) << "nothing changed";

    // Published again as it is: the update arrives.
    publish({"--key", key});
    start();
    std::map<std::wstring, std::string> version2 = version1;
    version2[L"module\\core-1.0.jar"] = "core, version 2.0";
    EXPECT_EQ(deployedPart(inst), version2);
}

TEST_F(EndToEndPublish, RunReportsAnsweredAndLoggedForTheFleet) {
    writeClient(client, {{L"module\\core-1.0.jar", "core"}});
    publish({"--server", server("http", host.httpPort()), "--report"});
    std::string complaint;
    ASSERT_TRUE(host.serve(deployment() + L"nginx.conf", complaint)) << complaint;

    // The launcher's own report after an update-only run that brought the installation up to date.
    pointAt("http", host.httpPort());
    EXPECT_EQ(runProgram(launcher.installLauncher(), L"-updateonly", inst.path()).status(), 0) << launcher.logText();
    std::wstring id(64, L'\0');
    DWORD size = 128;
    RegGetValueW(HKEY_CURRENT_USER, (L"Software\\Torbenwald\\ornivel\\status\\" + stored.name()).c_str(),
                 L"InstallationId", RRF_RT_REG_SZ, nullptr, id.data(), &size);
    // nginx writes the line once it has answered.
    const std::wstring log = deployment() + L"reports.log";
    const std::string logged = "\"GET /ornivel/check/report?id=" + urlEncode(toUtf8(id.c_str())) + "&host=";
    waitUntil([&] { return readFileBytes(log).find(logged) != std::string::npos; }, 5000);
    const std::string lines = readFileBytes(log);
    EXPECT_NE(lines.find(logged), std::string::npos) << lines;
    EXPECT_NE(lines.find("&result=0&checksum=" + publishedChecksum(deployment()) + "&serial=&files=1&bytes=4&seconds="),
              std::string::npos) << lines;
    EXPECT_NE(lines.find("&mode=updateonly HTTP/1.1\" 204 0 "), std::string::npos) << lines;
    EXPECT_EQ(readFileBytes(host.accessLog()).find("/report?"), std::string::npos) << "reports go to reports.log only";

    const NginxHost::Result fleet = host.run({ORNIVEL_NATIVE_PUBLISH, "fleet", "--csv", unixPathOf(log)});
    EXPECT_EQ(fleet.status, 0) << fleet.output;
    EXPECT_NE(fleet.output.find(toUtf8(id.c_str()) + ","), std::string::npos) << fleet.output;
    EXPECT_NE(fleet.output.find(",current," + publishedChecksum(deployment()) + ",,1,0\r\n"), std::string::npos)
        << fleet.output;

    // Published without --report again: the mark and the location are gone.
    publish({});
    EXPECT_EQ(readFileBytes(deployment() + L"nginx.conf").find("/report"), std::string::npos);
    EXPECT_EQ(readFileBytes(deployment() + L"deploy\\TarnFileList.xml").rfind("<FileList>\r\n", 0), 0u);
}

} // namespace
} // namespace ornivel
