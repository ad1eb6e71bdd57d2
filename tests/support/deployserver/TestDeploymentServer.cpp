#include "tests/support/deployserver/TestDeploymentServer.h"

#include <atomic>
#include <cstdio>
#include <filesystem>

#include "common/Text.h"
#include "logdriver/LogDriver.h"
#include "remote/UrlEncode.h"
#include "filelist/ListWriter.h"
#include "filelist/Md5.h"
#include "sync/OrnivelClient.h"
#include "tests/support/TestSupport.h"

namespace fs = std::filesystem;

namespace ornivel::test {

namespace {

// The share folder of the test prefix (see tests/support/prefix.d/30-test-share.sh).
std::string shareUnixFolder() {
    std::wstring prefix = processEnvironment(L"WINEPREFIX");
    std::string unix = toUtf8(prefix);
    auto cut = unix.find_last_of('/');
    return (cut == std::string::npos ? unix : unix.substr(0, cut)) + "/test-share";
}

} // namespace

FILETIME utcFileTimeOf(const std::string& text) {
    SYSTEMTIME time{};
    std::sscanf(text.c_str(), "%hu.%hu.%hu %hu:%hu:%hu", &time.wDay, &time.wMonth, &time.wYear, &time.wHour,
                &time.wMinute, &time.wSecond);
    FILETIME result{};
    SystemTimeToFileTime(&time, &result);
    return result;
}

FILETIME lastWriteTimeOf(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return FILETIME{};
    return data.ftLastWriteTime;
}

std::map<std::wstring, std::string> filesBelow(const std::wstring& folder) {
    std::map<std::wstring, std::string> result;
    std::error_code error;
    if (!fs::exists(fs::path(folder), error)) return result;
    for (auto it = fs::recursive_directory_iterator(fs::path(folder), error); it != fs::recursive_directory_iterator();
         it.increment(error)) {
        if (error) break;
        if (!it->is_regular_file()) continue;
        std::wstring relative = fs::relative(it->path(), fs::path(folder)).wstring();
        for (wchar_t& c : relative)
            if (c == L'/') c = L'\\';
        result[relative] = readFileBytes(it->path().wstring());
    }
    return result;
}

void removeFolder(const std::wstring& folder) {
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(fs::path(folder), error); !error && it != fs::recursive_directory_iterator();
         it.increment(error))
        SetFileAttributesW(it->path().c_str(), FILE_ATTRIBUTE_NORMAL);
    fs::remove_all(fs::path(folder), error);
}

TestDeploymentServer::TestDeploymentServer() {
    static std::atomic<int> counter{0};
    const std::string name = formatNarrow("deploy-%lu-%d-%lu", GetCurrentProcessId(), ++counter, GetTickCount());
    folder_ = windowsPathOf(shareUnixFolder() + "/" + name) + L"\\";
    unc_ = L"\\\\ornivel-test\\share\\" + fromUtf8(name);
    CreateDirectoryW(folder_.c_str(), nullptr);
    http_.serveFolder("/deploy/", folder_);
}

TestDeploymentServer::~TestDeploymentServer() { removeFolder(folder_); }

void TestDeploymentServer::putFile(const std::wstring& path, const DeployedFile& file) { files_[path] = file; }

void TestDeploymentServer::putFile(const std::wstring& path, const std::string& bytes, const std::string& timestampGmt,
                                   bool withChecksum) {
    putFile(path, DeployedFile{bytes, timestampGmt, withChecksum});
}

void TestDeploymentServer::removeFile(const std::wstring& path) {
    files_.erase(path);
    DeleteFileW((folder_ + path).c_str());
}

void TestDeploymentServer::listOnly(const std::wstring& path, const std::string& attributes) {
    listOnly_.emplace_back(path, attributes);
}

std::string TestDeploymentServer::fileListText() const {
    std::string xml = signingKey_ && serial_ ? "<FileList Serial=\"" + std::to_string(serial_) + "\">\n" : "<FileList>\n";
    for (const auto& [path, file] : files_) {
        xml += "  <File Path=\"" + xmlEscaped(toUtf8(path)) + "\" TimestampGMT=\"" + file.timestampGmt + "\" Size=\"" +
               std::to_string(file.bytes.size()) + "\"";
        if (file.withChecksum) xml += " checksum=\"" + md5HexOfBytes(file.bytes) + "\"";
        xml += "/>\n";
    }
    for (const auto& [path, attributes] : listOnly_)
        xml += "  <File Path=\"" + xmlEscaped(toUtf8(path)) + "\" " + attributes + "/>\n";
    return xml + "</FileList>\n";
}

void TestDeploymentServer::publish() {
    for (const auto& [path, file] : files_) {
        const std::wstring target = folder_ + path;
        writeFileBytes(target, file.bytes);
    }
    writeFileBytes(folder_ + L"TarnFileList.xml", fileListText());
    const std::wstring signature = folder_ + L"TarnFileList.xml.sig";
    if (signingKey_)
        writeFileBytes(signature, signList(fileListText(), *signingKey_));
    else
        DeleteFileW(signature.c_str());
}

void TestDeploymentServer::signWith(const SecretKey& key, uint64_t serial) {
    signingKey_ = key;
    serial_ = serial;
}

void TestDeploymentServer::withdrawFileList() { DeleteFileW((folder_ + L"TarnFileList.xml").c_str()); }

void TestDeploymentServer::answerVersionCheck(const std::wstring& installation, const std::string& answer) {
    LogDriver quiet(L"deploy");
    std::string checksum = toAnsi(OrnivelClient(installation, quiet).clientChecksum());
    http_.route("/check/clientChecksum%3d" + checksum, HttpAnswer::ok(answer));
}

std::string TestDeploymentServer::versionCheckUrl(bool https) const {
    // The test certificate is checked by host name.
    return formatNarrow(https ? "%s://localhost:%d/check" : "%s://127.0.0.1:%d/check", https ? "https" : "http",
                        https ? http_.httpsPort() : http_.httpPort());
}

void TestDeploymentServer::writeServerFile(const std::wstring& installation, bool https) const {
    writeFileBytes(installation + L"ornivel-Server.dat", versionCheckUrl(https) + "\n");
}

std::string TestDeploymentServer::serverRecord(const std::string& type) const {
    if (type == "net") return "net||" + toAnsi(unc_) + "|0|||";
    int port = (type == "https") ? http_.httpsPort()
                                 : http_.httpPort();
    return type + (type == "https" ? "|localhost|/deploy|" : "|127.0.0.1|/deploy|") + std::to_string(port) + "|||";
}

std::string TestDeploymentServer::urlOf(const std::wstring& path) const {
    std::wstring name = path;
    for (wchar_t& c : name)
        if (c == L'\\') c = L'/';
    return "/deploy/" + urlEncode(toUtf8(name));
}

void TestDeploymentServer::redirectFile(const std::wstring& path, bool refreshHeader, bool https) {
    // The real bytes stay reachable under a second name.
    const std::wstring moved = L"moved\\" + path;
    auto it = files_.find(path);
    if (it != files_.end()) writeFileBytes(folder_ + moved, it->second.bytes);
    const std::string target = (https ? formatNarrow("https://localhost:%d", http_.httpsPort())
                                      : formatNarrow("http://127.0.0.1:%d", http_.httpPort())) +
                               urlOf(moved);
    HttpAnswer answer = refreshHeader ? HttpAnswer::ok("") : HttpAnswer::withStatus(302, "");
    answer.header(refreshHeader ? "Refresh" : "Location", refreshHeader ? "0; url=" + target : target);
    http_.route(urlOf(path), answer);
}

void TestDeploymentServer::failFile(const std::wstring& path, int status) {
    http_.route(urlOf(path), HttpAnswer::withStatus(status, "failure"));
}

void TestDeploymentServer::corruptFile(const std::wstring& path, const std::string& bytes) {
    http_.route(urlOf(path), HttpAnswer::ok(bytes));
}

std::vector<std::string> TestDeploymentServer::requestTargets() {
    std::vector<std::string> targets;
    for (const RecordedRequest& request : http_.requests()) targets.push_back(request.target());
    return targets;
}

} // namespace ornivel::test
