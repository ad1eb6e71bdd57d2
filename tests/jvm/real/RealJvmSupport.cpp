#include "tests/jvm/real/RealJvmSupport.h"

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "common/Text.h"
#include "jvm/JavaMainThread.h"
#include "config/ConfigFiles.h"

namespace ornivel::test {

namespace fs = std::filesystem;

RealInstallation::RealInstallation() {
    std::string pattern = (fs::temp_directory_path() / "ornivel-real-jvm-XXXXXX").string();
    if (!mkdtemp(pattern.data())) std::abort();
    path_ = pattern + "/";
    previous_ = fs::current_path().string();
    fs::create_symlink(ORNIVEL_JDK_HOME, path_ + "java_17.0.1");
    fs::create_directories(path_ + "module");
    fs::create_directories(path_ + "system/jar");
    fs::create_directories(path_ + "system/config");
    fs::copy_file(REFERENCE_CLIENT_JAR, path_ + "module/ornivel-reference-client.jar");
    fs::copy_file(HOST_CHECK_JAR, path_ + "system/jar/ornivel-host-check.jar");
    fs::current_path(path_);
}

RealInstallation::~RealInstallation() {
    fs::current_path(previous_);
    std::error_code ignored;
    fs::remove_all(path_, ignored);  // the runtime link goes, not the JDK it points to
}

void RealInstallation::write(const std::string& relative, const std::string& bytes) const {
    std::ofstream(path_ + relative, std::ios::binary | std::ios::trunc) << bytes;
}

std::string RealInstallation::read(const std::string& relative) const {
    std::ifstream in(path_ + relative, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool RealInstallation::exists(const std::string& relative) const { return fs::exists(path_ + relative); }

std::wstring RealInstallation::classPath() {
    return L"module/ornivel-reference-client.jar:system/jar/ornivel-host-check.jar:";
}

bool MemoryAppender::append(int level, const std::wstring& message) {
    std::lock_guard<std::mutex> guard(mutex_);
    messages_.emplace_back(level, message);
    return true;
}

int MemoryAppender::count(const std::wstring& part) const {
    std::lock_guard<std::mutex> guard(mutex_);
    int n = 0;
    for (const auto& [level, message] : messages_)
        if (message.find(part) != std::wstring::npos) ++n;
    return n;
}

bool MemoryAppender::has(int level, const std::wstring& message) const {
    std::lock_guard<std::mutex> guard(mutex_);
    for (const auto& logged : messages_)
        if (logged.first == level && logged.second == message) return true;
    return false;
}

std::string MemoryAppender::text() const {
    std::lock_guard<std::mutex> guard(mutex_);
    std::string text;
    for (const auto& [level, message] : messages_) text += std::to_string(level) + "|" + toUtf8(message) + "\n";
    return text;
}

StandardErrorCapture::StandardErrorCapture(const std::string& path) : path_(path), saved_(dup(STDERR_FILENO)) {
    std::fflush(stderr);
    int file = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    dup2(file, STDERR_FILENO);
    close(file);
}

StandardErrorCapture::~StandardErrorCapture() {
    std::fflush(stderr);
    dup2(saved_, STDERR_FILENO);
    close(saved_);
}

std::string StandardErrorCapture::text() const {
    std::fflush(stderr);
    std::ifstream in(path_, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void configureLikeTheLauncher(ThreadStartVM& javaHost, const LogDriver& log) {
    const std::wstring folder = currentFolder();
    javaHost.setSystemProperty(L"logback.configurationFile", folder + L"system\\config\\logback.xml");
    javaHost.setSystemProperty(L"file.encoding", L"UTF-8");
    for (const Property& property : readPropertiesFile()) javaHost.setSystemProperty(property.first, property.second);
    for (const std::wstring& option : readJvmOptionsFile()) javaHost.addJvmOption(option);
    javaHost.setHeapSizeMb(readHeapSizeMb());
    javaHost.setClassPath(RealInstallation::classPath());
    javaHost.setLogDriver(log);
    javaHost.setSystemProperty(L"java.net.preferIPv4Stack", L"true");
    javaHost.setSystemProperty(L"java.library.path", folder + L"system\\dll");
}

void writeLoginRecord(const LoginInput& input) {
    std::remove("launcher2.dat");
    std::ofstream("launcher.dat", std::ios::binary | std::ios::trunc) << toUtf8(buildLoginRequest(input));
}

std::wstring pollOutcome(ThreadStartVM& javaHost, int limitMs) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    std::wstring outcome;
    while (outcome.empty() && std::chrono::steady_clock::now() < until) {
        outcome = javaHost.callStaticStringMethod(L"getError");
        std::this_thread::sleep_for(std::chrono::milliseconds(40));
    }
    return outcome;
}

std::string utf8(const std::wstring& text) { return toUtf8(text); }

} // namespace ornivel::test
