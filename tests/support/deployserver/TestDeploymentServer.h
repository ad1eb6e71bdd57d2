#pragma once
// A deployment for the synchronisation tests: a folder of files with their file list
// "TarnFileList.xml", served on loopback over HTTP and HTTPS (by the scriptable test server)
// and reachable as a network share by UNC path, and the version-check service that answers
// for one installation.
#include <windows.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "filelist/ListSignature.h"
#include "tests/support/httpserver/TestHttpServer.h"

namespace ornivel::test {

struct DeployedFile {
    std::string bytes;
    std::string timestampGmt = "01.02.2024 10:00:00";  // "DD.MM.YYYY hh:mm:ss", UTC
    bool withChecksum = true;
};

class TestDeploymentServer {
public:
    TestDeploymentServer();
    ~TestDeploymentServer();
    TestDeploymentServer(const TestDeploymentServer&) = delete;
    TestDeploymentServer& operator=(const TestDeploymentServer&) = delete;

    // Files of the deployment, by relative path with "\" separators. publish() writes them
    // and the file list; entries added with listOnly() appear in the list without a file.
    void putFile(const std::wstring& path, const DeployedFile& file);
    void putFile(const std::wstring& path, const std::string& bytes, const std::string& timestampGmt = "01.02.2024 10:00:00",
                 bool withChecksum = true);
    void removeFile(const std::wstring& path);
    void listOnly(const std::wstring& path, const std::string& attributes);
    void publish();
    // The file list as published (the list's own bytes).
    std::string fileListText() const;
    // Every later publish() signs the list with `key` ("TarnFileList.xml.sig" beside it) and
    // gives it the serial (none when 0); unsign() publishes unsigned lists again.
    void signWith(const SecretKey& key, uint64_t serial);
    void unsign() { signingKey_.reset(); }
    // Serves the list and files again after removing the list from the folder (a server
    // without a list answers 404 for it).
    void withdrawFileList();

    // The version-check service at /check: answers `answer` to the client checksum of the
    // installation folder (computed as the launcher computes it).
    void answerVersionCheck(const std::wstring& installation, const std::string& answer);
    // "ornivel-Server.dat" for the installation, naming this service.
    void writeServerFile(const std::wstring& installation, bool https = false) const;
    std::string versionCheckUrl(bool https = false) const;

    // One server record of the version-check grammar for this deployment.
    std::string serverRecord(const std::string& type) const;
    // The share path of the deployment ("\\ornivel-test\share\...").
    std::wstring uncPath() const { return unc_; }
    // The deployment folder as Windows path.
    const std::wstring& folder() const { return folder_; }

    // One file answered by a redirect (Location) or a Refresh header to its real place
    // (on the same scheme).
    void redirectFile(const std::wstring& path, bool refreshHeader, bool https = false);
    // One file answered with an error status.
    void failFile(const std::wstring& path, int status = 500);
    // One file answered with other bytes than the ones listed.
    void corruptFile(const std::wstring& path, const std::string& bytes);

    TestHttpServer& http() { return http_; }
    // Request targets received so far (in order), with the query; clears nothing.
    std::vector<std::string> requestTargets();

private:
    std::string urlOf(const std::wstring& path) const;

    TestHttpServer http_;
    std::wstring folder_;
    std::wstring unc_;
    std::map<std::wstring, DeployedFile> files_;
    std::vector<std::pair<std::wstring, std::string>> listOnly_;
    std::optional<SecretKey> signingKey_;
    uint64_t serial_ = 0;
};

// "DD.MM.YYYY hh:mm:ss" of a UTC time, and the FILETIME (UTC) of such a text.
FILETIME utcFileTimeOf(const std::string& timestampGmt);
// The last-write time of a file (UTC); zero when it cannot be read.
FILETIME lastWriteTimeOf(const std::wstring& path);
// Every file below a folder, relative paths with "\" → bytes.
std::map<std::wstring, std::string> filesBelow(const std::wstring& folder);
// Removes a folder with everything in it.
void removeFolder(const std::wstring& folder);

} // namespace ornivel::test
