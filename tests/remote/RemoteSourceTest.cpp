#include <gtest/gtest.h>

#include <cctype>

#include "common/Text.h"
#include "remote/UrlEncode.h"
#include "remote/RemoteSourceCombination.h"
#include "remote/RemoteSourceFactory.h"
#include "remote/SocketSource.h"
#include "remote/ShareSource.h"
#include "remote/WinHttpSource.h"
#include "tests/remote/RemoteTestSupport.h"

namespace ornivel {
namespace {

using test::CapturedLog;
using test::TempFolder;

TEST(UrlEncode, KeepsUnreservedCharactersAndEncodesEveryOtherByte) {
    const std::string kept = "ABCXYZabcxyz0189~!*/._-()'";
    EXPECT_EQ(urlEncode(kept), kept);
    EXPECT_EQ(urlEncode("a b+c"), "a%20b%2bc");
    EXPECT_EQ(urlEncode("%&?#:=;,@$[]\"<>\\^`{|}"),
              "%25%26%3f%23%3a%3d%3b%2c%40%24%5b%5d%22%3c%3e%5c%5e%60%7b%7c%7d");
    EXPECT_EQ(urlEncode(std::string("\x00\x01\x1f\x7f", 4)), "%00%01%1f%7f");
    EXPECT_EQ(urlEncode("\xc4\xff\x80"), "%c4%ff%80");
    EXPECT_EQ(urlEncode("clientChecksum=ab12"), "clientChecksum%3dab12");
    // Every byte outside the kept set becomes exactly three characters.
    for (int b = 0; b < 256; ++b) {
        const std::string one(1, static_cast<char>(b));
        const bool keep = kept.find(static_cast<char>(b)) != std::string::npos || isalnum(b);
        EXPECT_EQ(urlEncode(one).size(), keep ? 1u : 3u) << b;
    }
}


class NamedSource : public RemoteSource {
public:
    NamedSource(const LogDriver& log, std::vector<int> answers, int* deleted = nullptr)
        : RemoteSource(log), answers_(std::move(answers)), deleted_(deleted) {}
    ~NamedSource() override {
        if (deleted_) ++*deleted_;
    }
    bool fetch(std::wstring remoteName, std::wstring localPath, ProgressListener* listener, NameBytes = NameBytes::Utf8) override {
        calls.push_back(remoteName + L">" + localPath);
        lastListener = listener;
        bool ok = calls.size() <= answers_.size() && answers_[calls.size() - 1] != 0;
        return ok;
    }
    std::vector<std::wstring> calls;
    ProgressListener* lastListener = nullptr;

private:
    std::vector<int> answers_;
    int* deleted_;
};

TEST(RemoteSourceCombination, SkipsAFailedSourceForEveryLaterFile) {
    CapturedLog c;
    int deleted = 0;
    {
        RemoteSourceCombination combination(c.log);
        auto* first = new NamedSource(c.log, {0, 1, 1}, &deleted);  // fails on the first file only
        auto* second = new NamedSource(c.log, {1, 1, 1}, &deleted);
        combination.addSource(first);
        combination.addSource(second);
        test::RecordingListener listener;

        EXPECT_TRUE(combination.fetch(L"a", L"C:\\a", &listener));
        EXPECT_TRUE(combination.fetch(L"b", L"C:\\b", &listener));
        EXPECT_TRUE(combination.fetch(L"c", L"C:\\c", nullptr));
        EXPECT_EQ(first->calls, std::vector<std::wstring>{L"a>C:\\a"});
        EXPECT_EQ(second->calls, (std::vector<std::wstring>{L"a>C:\\a", L"b>C:\\b", L"c>C:\\c"}));
        EXPECT_EQ(second->lastListener, nullptr);
        EXPECT_TRUE(combination.failed(first));
        EXPECT_FALSE(combination.failed(second));
        EXPECT_TRUE(c.appender.messages.empty());  // the combination itself logs nothing
    }
    EXPECT_EQ(deleted, 2);  // it owns its sources
}

TEST(RemoteSourceCombination, FailsAtOnceWhenEverySourceHasFailed) {
    CapturedLog c;
    RemoteSourceCombination combination(c.log);
    auto* first = new NamedSource(c.log, {0});
    auto* second = new NamedSource(c.log, {0, 1});
    combination.addSource(first);
    combination.addSource(second);
    EXPECT_FALSE(combination.fetch(L"a", L"C:\\a", nullptr));
    EXPECT_FALSE(combination.fetch(L"b", L"C:\\b", nullptr));
    EXPECT_EQ(first->calls.size(), 1u);
    EXPECT_EQ(second->calls.size(), 1u);

    RemoteSourceCombination empty(c.log);
    EXPECT_FALSE(empty.fetch(L"a", L"C:\\a", nullptr));
}

TEST(CreateParentDirectories, CreatesTheOutermostMissingFolderFirst) {
    TempFolder temp;
    temp.makeFolder(L"A");
    CapturedLog c;
    NamedSource source(c.log, {});
    ASSERT_TRUE(source.createParentDirectories(temp / L"A\\B\\C\\file.txt"));
    EXPECT_TRUE(temp.exists(L"A\\B\\C"));
    ASSERT_EQ(c.appender.messages.size(), 2u);
    EXPECT_EQ(c.appender.messages[0], std::make_pair(int(LOG_INFO), L"Creating " + (temp / L"A\\B") + L" "));
    EXPECT_EQ(c.appender.messages[1], std::make_pair(int(LOG_INFO), L"Creating " + (temp / L"A\\B\\C") + L" "));

    c.appender.messages.clear();
    EXPECT_TRUE(source.createParentDirectories(temp / L"A\\B\\C\\other.txt"));
    EXPECT_TRUE(source.createParentDirectories(L"bare-name.txt"));
    EXPECT_TRUE(c.appender.messages.empty());

    // A file where a folder should be stops the creation.
    temp.write(L"A\\blocker", "x");
    EXPECT_FALSE(source.createParentDirectories(temp / L"A\\blocker\\sub\\file.txt"));
}

TEST(CreateRemoteSource, ChoosesTheSourceByCaseInsensitiveType) {
    CapturedLog c;
    for (const wchar_t* type : {L"http", L"HTTP"}) {
        auto source = createRemoteSource(type, L"127.0.0.1", L"app", 80, L"", L"", c.log);
        auto* combination = dynamic_cast<RemoteSourceCombination*>(source.get());
        ASSERT_NE(combination, nullptr) << type;
        EXPECT_EQ(combination->sourceCount(), 2u);
    }
    // TLS servers get WinHTTP alone: nothing is ever asked in clear text.
    for (const wchar_t* type : {L"inet", L"INET", L"https", L"Https"}) {
        auto source = createRemoteSource(type, L"127.0.0.1", L"app", 80, L"", L"", c.log);
        auto* winHttp = dynamic_cast<RemoteSourceWININET*>(source.get());
        ASSERT_NE(winHttp, nullptr) << type;
        EXPECT_EQ(winHttp->secure(), type[0] != L'i' && type[0] != L'I') << type;
    }
    auto share = createRemoteSource(L"NeT", L"", L"\\\\server\\share\\", 0, L"u", L"p", c.log);
    auto* net = dynamic_cast<RemoteSourceNET*>(share.get());
    ASSERT_NE(net, nullptr);
    EXPECT_EQ(net->sharePath(), L"\\\\server\\share");
    EXPECT_EQ(createRemoteSource(L"ftp", L"h", L"p", 21, L"", L"", c.log), nullptr);
    EXPECT_EQ(createRemoteSource(L"", L"h", L"p", 21, L"", L"", c.log), nullptr);

    // The socket member logs its URL.
    EXPECT_TRUE(c.appender.has(LOG_DEBUG, L"Using URL 'http://127.0.0.1:80/app/' for sync."));
    EXPECT_TRUE(c.appender.has(LOG_DEBUG, L"Using URL 'app/' for sync."));
}

} // namespace
} // namespace ornivel
