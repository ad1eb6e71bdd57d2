#include <gtest/gtest.h>

#include <filesystem>

#include "logdriver/LastError.h"
#include "remote/ShareSource.h"
#include "tests/remote/RemoteTestSupport.h"

namespace ornivel {
namespace {

using test::TempFolder;

// Stands in for the network provider, which Wine lacks; records what the source asks for.
class FakeConnector : public ShareConnector {
public:
    DWORD addConnection(NETRESOURCEW* resource, const wchar_t* password, const wchar_t* userName,
                        DWORD flags) override {
        calls.push_back(L"add");
        type = resource->dwType;
        remoteName = resource->lpRemoteName ? resource->lpRemoteName : L"<null>";
        localNameNull = resource->lpLocalName == nullptr;
        providerNull = resource->lpProvider == nullptr;
        passwordGiven = password != nullptr;
        userGiven = userName != nullptr;
        if (password) this->password = password;
        if (userName) this->userName = userName;
        this->flags = flags;
        return result;
    }
    DWORD cancelConnection(const wchar_t* name, DWORD flags, BOOL force) override {
        calls.push_back(L"cancel " + std::wstring(name) + L" " + std::to_wstring(flags) + L" " + std::to_wstring(force));
        return NO_ERROR;
    }
    DWORD result = NO_ERROR;
    std::vector<std::wstring> calls;
    DWORD type = 0, flags = 0;
    std::wstring remoteName, password, userName;
    bool localNameNull = false, providerNull = false, passwordGiven = false, userGiven = false;
};

const wchar_t kShareRoot[] = L"\\\\ornivel-test\\share\\";

// A fresh folder on the test share (\\ornivel-test\share, set up in the test prefix).
class ShareFolder {
public:
    ShareFolder() {
        static int counter = 0;
        path_ = std::wstring(kShareRoot) + L"run-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                std::to_wstring(++counter);
        ::CreateDirectoryW(path_.c_str(), nullptr);
    }
    ~ShareFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    const std::wstring& path() const { return path_; }

private:
    std::wstring path_;
};

bool shareAvailable() { return ::GetFileAttributesW(kShareRoot) != INVALID_FILE_ATTRIBUTES; }

TEST(RemoteSourceNET, ConnectsWithTheStoredCredentialsAfterCancelling) {
    test::CapturedLog log;
    FakeConnector connector;
    {
        RemoteSourceNET source(L"\\\\srv\\deploy\\", L"", L"", log.log, connector);
        EXPECT_EQ(source.sharePath(), L"\\\\srv\\deploy");
        EXPECT_TRUE(log.appender.has(LOG_DEBUG, L"Using UNC '\\\\srv\\deploy' for sync."));
        TempFolder temp(L"net");
        // The share does not exist, so the copy fails, but the connection is made first.
        EXPECT_FALSE(source.download(L"a.jar", temp / L"a.jar", nullptr));
        ASSERT_EQ(connector.calls.size(), 2u);
        EXPECT_EQ(connector.calls[0], L"cancel \\\\srv\\deploy 0 1");
        EXPECT_EQ(connector.calls[1], L"add");
        EXPECT_EQ(connector.type, static_cast<DWORD>(RESOURCETYPE_DISK));
        EXPECT_EQ(connector.remoteName, L"\\\\srv\\deploy");
        EXPECT_TRUE(connector.localNameNull);
        EXPECT_TRUE(connector.providerNull);
        EXPECT_TRUE(connector.passwordGiven);  // empty strings, not null
        EXPECT_TRUE(connector.userGiven);
        EXPECT_EQ(connector.flags, 6u);
        EXPECT_TRUE(source.connected());
        EXPECT_EQ(test::countPrefix(log.appender, LOG_DEBUG, L"Could not copy file '\\\\srv\\deploy\\a.jar'. OS Error: "),
                  1u);
        // Connected once, connected for good.
        EXPECT_FALSE(source.download(L"b.jar", temp / L"b.jar", nullptr));
        EXPECT_EQ(connector.calls.size(), 2u);
    }
    EXPECT_EQ(connector.calls.back(), L"cancel \\\\srv\\deploy 0 1");  // always cancelled at the end
}

TEST(RemoteSourceNET, AFailedConnectionIsRetriedAtTheNextDownload) {
    test::CapturedLog log;
    FakeConnector connector;
    connector.result = ERROR_NO_NETWORK;  // what Wine answers
    RemoteSourceNET source(L"\\\\srv\\deploy", L"user", L"secret", log.log, connector);
    TempFolder temp(L"net");
    EXPECT_FALSE(source.download(L"a.jar", temp / L"a.jar", nullptr));
    EXPECT_FALSE(source.download(L"a.jar", temp / L"a.jar", nullptr));
    EXPECT_EQ(connector.calls.size(), 4u);
    EXPECT_EQ(connector.userName, L"user");
    EXPECT_EQ(connector.password, L"secret");
    const std::wstring line = L"Error connecting to remote drive. OS Error: " + LastError(ERROR_NO_NETWORK).text();
    EXPECT_EQ(log.appender.count(LOG_DEBUG, line), 2u);
    EXPECT_EQ(test::countPrefix(log.appender, LOG_INFO, L"Downloading file"), 0u);
    EXPECT_FALSE(source.connected());
}

TEST(RemoteSourceNET, ShareNamesWithAndWithoutTrailingBackslashAgree) {
    test::CapturedLog log;
    FakeConnector connector;
    RemoteSourceNET with(L"\\\\srv\\deploy\\", L"", L"", log.log, connector);
    RemoteSourceNET without(L"\\\\srv\\deploy", L"", L"", log.log, connector);
    EXPECT_EQ(with.sharePath(), without.sharePath());
    EXPECT_EQ(with.sourceFile(L"sub\\a.jar"), L"\\\\srv\\deploy\\sub\\a.jar");
    EXPECT_EQ(without.sourceFile(L"sub/a.jar"), L"\\\\srv\\deploy\\sub/a.jar");  // the name keeps its separators
    const std::wstring longShare = L"\\\\srv\\" + std::wstring(400, L'd');
    RemoteSourceNET longOne(longShare + L"\\", L"", L"", log.log, connector);
    EXPECT_EQ(longOne.sharePath(), longShare);
}

TEST(RemoteSourceNET, ProgressRoutineReportsPercentagesOfNonEmptyFiles) {
    auto call = [](long long total, long long done, ProgressListener* listener) {
        LARGE_INTEGER t, d, zero{};
        t.QuadPart = total;
        d.QuadPart = done;
        return RemoteSourceNET::copyProgress(t, d, zero, zero, 1, CALLBACK_CHUNK_FINISHED, nullptr, nullptr, listener);
    };
    test::RecordingListener listener;
    EXPECT_EQ(call(0, 0, &listener), static_cast<DWORD>(PROGRESS_CONTINUE));
    EXPECT_EQ(listener.calls, 0);  // a zero-byte file reports nothing
    EXPECT_EQ(call(200, 50, &listener), static_cast<DWORD>(PROGRESS_CONTINUE));
    EXPECT_EQ(call(6000000000LL, 5999999999LL, &listener), static_cast<DWORD>(PROGRESS_CONTINUE));
    EXPECT_EQ(call(200, 200, &listener), static_cast<DWORD>(PROGRESS_CONTINUE));
    EXPECT_EQ(listener.percents, (std::vector<int>{25, 99, 100}));
    EXPECT_EQ(listener.otherReports, 0);
    EXPECT_EQ(call(200, 100, nullptr), static_cast<DWORD>(PROGRESS_CONTINUE));
}

TEST(RemoteSourceNET, CopiesFromAUncPathWithProgress) {
    if (!shareAvailable()) GTEST_SKIP() << "no test share in this prefix";
    ShareFolder share;
    test::writeFileBytes(share.path() + L"\\dir\\big.bin", test::patternBytes(5 * 1024 * 1024 + 3));
    test::writeFileBytes(share.path() + L"\\zero.bin", "");

    test::CapturedLog log;
    FakeConnector connector;
    RemoteSourceNET source(share.path() + L"\\", L"", L"", log.log, connector);
    TempFolder temp(L"net");
    test::RecordingListener listener;

    const std::wstring target = temp / L"out\\dir\\big.bin";
    temp.write(L"out\\dir\\big.bin", "old");
    ASSERT_TRUE(source.download(L"dir\\big.bin", target, &listener));
    EXPECT_TRUE(test::readFileBytes(target) == test::patternBytes(5 * 1024 * 1024 + 3));
    // Wine's copy does not call progress routines; where they are called the last one is 100.
    if (!listener.percents.empty()) {
        EXPECT_EQ(listener.percents.back(), 100);
    }
    EXPECT_EQ(listener.otherReports, 0);
    EXPECT_TRUE(log.appender.has(LOG_INFO, L"Downloading file 'dir\\big.bin' to '" + target + L"'"));

    test::RecordingListener quiet;
    ASSERT_TRUE(source.download(L"zero.bin", temp / L"new\\zero.bin", &quiet));
    EXPECT_TRUE(temp.exists(L"new\\zero.bin"));
    EXPECT_EQ(quiet.calls, 0);
    EXPECT_TRUE(log.appender.has(LOG_INFO, L"Creating " + (temp / L"new") + L" "));

    EXPECT_FALSE(source.download(L"missing.bin", temp / L"missing.bin", nullptr));
    EXPECT_EQ(test::countPrefix(log.appender, LOG_DEBUG, L"Could not copy file '" + share.path() + L"\\missing.bin'. OS Error: "),
              1u);
    EXPECT_TRUE(source.download(L"dir\\big.bin", temp / L"again.bin", nullptr));  // no listener

    // Real names arrive as they are, whatever the code page.
    const std::wstring name = L"dir\\\u00e4 & \u0436 (1).txt";
    test::writeFileBytes(share.path() + L"\\" + name, "umlaut");
    ASSERT_TRUE(source.download(name, temp / name, nullptr));
    EXPECT_EQ(temp.read(name), "umlaut");
}

TEST(RemoteSourceNET, ACopyKeepsNoAttributeThatWouldPinIt) {
    if (!shareAvailable()) GTEST_SKIP() << "no test share in this prefix";
    constexpr DWORD kPinning = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    ShareFolder share;
    const std::wstring file = share.path() + L"\\pinned.jar";
    test::writeFileBytes(file, "pinned");
    ASSERT_TRUE(::SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    EXPECT_EQ(::GetFileAttributesW(file.c_str()) & kPinning, static_cast<DWORD>(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));

    test::CapturedLog log;
    FakeConnector connector;
    RemoteSourceNET source(share.path(), L"", L"", log.log, connector);
    TempFolder temp(L"net");
    // Nor does a read-only partial file that an earlier download left stop the copy.
    const std::wstring partial = RemoteSource::partialPath(temp / L"pinned.jar");
    test::writeFileBytes(partial, "old");
    ::SetFileAttributesW(partial.c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(source.fetch(L"pinned.jar", temp / L"pinned.jar", nullptr));
    EXPECT_EQ(test::readFileBytes(partial), "pinned");
    EXPECT_EQ(::GetFileAttributesW(partial.c_str()) & kPinning, 0u);
    ::SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
}

} // namespace
} // namespace ornivel
