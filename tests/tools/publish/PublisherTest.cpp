// Whole publications on Linux folders: what lands in the deployment, what a second run
// touches, and what stops a run before anything is written.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "FileSystem.h"
#include "Publisher.h"
#include "Signing.h"
#include "filelist/FileListReader.h"
#include "filelist/FileListScanner.h"
#include "filelist/ListSignature.h"
#include "filelist/Md5.h"
#include "sync/PatchRebuild.h"

namespace ornivel::publish {
namespace {

namespace fs = std::filesystem;

class Publisher : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/ornivel-publish-test-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        root_ = pattern;
        client_ = root_ / "client";
        deployment_ = root_ / "deployment";
        fs::create_directories(client_);
        options_.clientFolder = client_.string();
        options_.deploymentFolder = deployment_.string();
        std::string problem;
        ServerEntry server;
        ASSERT_TRUE(parseServerEntry("http|127.0.0.1|/ornivel/deploy|8080", server, problem));
        options_.servers = {server};
    }
    void TearDown() override { fs::remove_all(root_); }

    void write(const std::string& relative, const std::string& bytes) {
        const fs::path path = client_ / relative;
        fs::create_directories(path.parent_path());
        fs::remove(path);  // a new file, as build tools make them
        std::ofstream(path, std::ios::binary) << bytes;
    }
    static std::string read(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    bool run(PublishSummary& summary) {
        problems_.clear();
        return publish(options_, summary, problems_);
    }
    fs::path deployed(const std::string& relative) const { return deployment_ / "deploy" / relative; }
    std::vector<std::string> answers() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(deployment_ / "check")) names.push_back(entry.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path root_, client_, deployment_;
    PublishOptions options_;
    std::vector<std::string> problems_;
};

TEST_F(Publisher, FirstPublicationLinksEveryFileAndWritesListAnswersAndFragment) {
    write("module/core-1.0.jar", "core");
    write("Gr\xc3\xbc\xc3\x9f" "e & Co/deep/er/\xc3\xa4.txt", "umlaut");
    write("system/empty.txt", "");
    write("TarnFileList.xml", "an installed client's own list is not published");
    PublishSummary summary;
    ASSERT_TRUE(run(summary)) << (problems_.empty() ? "" : problems_[0]);
    EXPECT_EQ(summary.files, 3u);
    EXPECT_EQ(summary.linked, 3u);
    EXPECT_EQ(summary.bytes, 10u);
    EXPECT_TRUE(sameFile(client_ / "module/core-1.0.jar", deployed("module/core-1.0.jar")));
    EXPECT_EQ(read(deployed("system/empty.txt")), "");

    const std::string list = read(deployed("TarnFileList.xml"));
    const FileListScan scan = scanFileList(list);
    EXPECT_EQ(scan.result, FileListScan::Complete);
    ASSERT_EQ(scan.entries.size(), 3u);
    EXPECT_NE(scan.entries[0].find("Path=\"Gr\xc3\xbc\xc3\x9f" "e &amp; Co\\deep\\er\\\xc3\xa4.txt\""),
              std::string::npos);
    // MD5 of "core" by md5sum.
    EXPECT_NE(list.find("Size=\"4\" checksum=\"a74ad8dfacd4f985eb3977517615ce25\""), std::string::npos) << list;

    EXPECT_EQ(answers(), (std::vector<std::string>{"clientChecksum=" + summary.checksum, "servers"}));
    EXPECT_EQ(read(deployment_ / "check" / ("clientChecksum=" + summary.checksum)), "OK\r\n");
    EXPECT_EQ(read(deployment_ / "check/servers"), "http|127.0.0.1|/ornivel/deploy|8080|||\r\n");
    EXPECT_NE(read(deployment_ / "nginx.conf").find("alias \"" + deployment_.string() + "/deploy/\";"), std::string::npos);
    EXPECT_FALSE(fs::exists(deployment_ / ".publish/staging"));
}

TEST_F(Publisher, SecondPublicationTouchesOnlyChangedFilesAndRemovesTheRest) {
    write("module/core-1.0.jar", "core");
    write("module/ui-1.0.jar", "ui");
    write("lib/old/gone.txt", "gone");
    write("lib/was-a-file", "file");
    write("lib/stale.txt", "stale");
    write("lib/kept.txt", "kept");
    PublishSummary first;
    ASSERT_TRUE(run(first));

    write("module/core-1.0.jar", "core, rebuilt");   // a new file in its place
    std::ofstream(client_ / "lib/kept.txt", std::ios::app) << " and edited";  // the same file, edited
    write("module/new-2.0.jar", "new");
    fs::remove_all(client_ / "lib/old");
    write("lib/old", "a file where a folder was");
    fs::remove(client_ / "lib/was-a-file");
    write("lib/was-a-file/inner.txt", "a folder where a file was");
    fs::remove(client_ / "lib/stale.txt");
    options_.servers.clear();  // the servers of the last publication stay
    PublishSummary second;
    ASSERT_TRUE(run(second)) << problems_[0];
    EXPECT_EQ(second.linked, 4u);
    EXPECT_EQ(second.rehashed, 1u) << "a hard link sees the edit already; it is only hashed again";
    EXPECT_EQ(second.unchanged, 1u);
    EXPECT_EQ(second.removed, 3u) << "gone.txt, was-a-file and stale.txt";
    EXPECT_EQ(read(deployed("module/core-1.0.jar")), "core, rebuilt");
    EXPECT_EQ(read(deployed("lib/old")), "a file where a folder was");
    EXPECT_EQ(read(deployed("lib/was-a-file/inner.txt")), "a folder where a file was");
    EXPECT_FALSE(fs::exists(deployed("lib/stale.txt")));
    const std::string list = read(deployed("TarnFileList.xml"));
    EXPECT_EQ(list.find("stale.txt"), std::string::npos);
    EXPECT_NE(list.find("Path=\"lib\\kept.txt\" "), std::string::npos);
    EXPECT_NE(second.checksum, first.checksum);
    EXPECT_EQ(answers(), (std::vector<std::string>{"clientChecksum=" + second.checksum, "servers"}))
        << "the old version is no longer answered OK";
    EXPECT_EQ(read(deployment_ / "check/servers"), "http|127.0.0.1|/ornivel/deploy|8080|||\r\n");

    PublishSummary third;
    ASSERT_TRUE(run(third));
    EXPECT_EQ(third.unchanged, 6u);
    EXPECT_EQ(third.checksum, second.checksum);
}

TEST_F(Publisher, CopiesKeepTheClientsTime) {
    write("module/a.jar", "archive");
    options_.copy = true;
    PublishSummary summary;
    ASSERT_TRUE(run(summary));
    EXPECT_EQ(summary.copied, 1u);
    EXPECT_FALSE(sameFile(client_ / "module/a.jar", deployed("module/a.jar")));
    FileStamp original, copy;
    ASSERT_TRUE(stampOf(client_ / "module/a.jar", original));
    ASSERT_TRUE(stampOf(deployed("module/a.jar"), copy));
    EXPECT_EQ(copy, original);
    PublishSummary again;
    ASSERT_TRUE(run(again));
    EXPECT_EQ(again.unchanged, 1u);
}

TEST_F(Publisher, StopsBeforeWritingAnythingAndNamesEachFile) {
    write("module/CON.txt", "device");
    write("Readme.txt", "one");
    write("README.txt", "two");
    write("latin1-\xe4.txt", "bytes");
    write("module/core.jarold", "backup");
    ASSERT_EQ(::symlink("/tmp", (client_ / "link").c_str()), 0);
    PublishSummary summary;
    EXPECT_FALSE(run(summary));
    std::string all;
    for (const std::string& problem : problems_) all += problem + "\n";
    EXPECT_EQ(problems_.size(), 5u) << all;
    for (const char* named : {"module/CON.txt: names a device", "\"README.txt\" and \"Readme.txt\"", "latin1-\xe4.txt: is not",
                              "module/core.jarold: its short 8.3 name", "link: a symbolic link to a folder"})
        EXPECT_NE(all.find(named), std::string::npos) << named << "\n" << all;
    EXPECT_FALSE(fs::exists(deployment_));

    fs::remove_all(client_);
    fs::create_directories(client_ / "empty/folders/only");
    EXPECT_FALSE(run(summary));
    ASSERT_EQ(problems_.size(), 1u);
    EXPECT_NE(problems_[0].find("holds no files"), std::string::npos) << problems_[0];
    write("a.txt", "a");
    options_.servers.clear();
    EXPECT_FALSE(run(summary));
    EXPECT_NE(problems_[0].find("--server"), std::string::npos) << problems_[0];
    EXPECT_FALSE(fs::exists(deployment_));
}

TEST_F(Publisher, OnePublisherAtATime) {
    write("a.txt", "a");
    fs::create_directories(deployment_ / ".publish");
    PublishLock other;
    std::string problem;
    ASSERT_TRUE(other.acquire(deployment_ / ".publish/lock", problem));
    PublishSummary summary;
    EXPECT_FALSE(run(summary));
    ASSERT_EQ(problems_.size(), 1u);
    EXPECT_NE(problems_[0].find("another ornivel-publish"), std::string::npos) << problems_[0];
    EXPECT_FALSE(fs::exists(deployed("a.txt")));
}

TEST_F(Publisher, KeygenAndSignedPublications) {
    const fs::path keys = root_ / "keys";
    std::string line, problem;
    ASSERT_TRUE(generateKeys(keys, line, problem)) << problem;
    struct stat secret{};
    ASSERT_EQ(::stat((keys / "ornivel-signing.key").c_str(), &secret), 0);
    EXPECT_EQ(secret.st_mode & 0777, 0600u);
    PublicKey publicKey{};
    ASSERT_TRUE(parsePublicKeyText(read(keys / "ornivel-Key.txt"), publicKey));
    EXPECT_EQ(publicKeyText(publicKey), line);
    const std::string secretText = read(keys / "ornivel-signing.key");
    EXPECT_FALSE(generateKeys(keys, line, problem)) << "a key pair is never replaced";
    EXPECT_EQ(read(keys / "ornivel-signing.key"), secretText);

    write("module/a.jar", "a");
    options_.keyFile = (keys / "ornivel-signing.key").string();
    PublishSummary first, second;
    ASSERT_TRUE(run(first)) << problems_[0];
    std::string list = read(deployed("TarnFileList.xml"));
    EXPECT_EQ(list.rfind("<FileList Serial=\"" + std::to_string(first.serial) + "\" ", 0), 0u) << list;
    EXPECT_TRUE(listSignatureValid(list, read(deployed("TarnFileList.xml.sig")), publicKey));
    // Signed with the list: every file's SHA-256 beside its MD5, and the deployment servers.
    ListElementText element;
    std::vector<ListEntryText> entries;
    ASSERT_TRUE(readFileListText(list, element, [&entries](const ListEntryText& e) { entries.push_back(e); }));
    EXPECT_EQ(element.servers, "http|127.0.0.1|/ornivel/deploy|8080|||");
    EXPECT_FALSE(element.expires) << "without --valid-days nothing expires";
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].sha256, sha256HexOfBytes("a"));
    EXPECT_EQ(entries[0].checksum, md5HexOfBytes("a"));

    // --valid-days: the list expires that many days after its publication.
    options_.validDays = 30;
    const int64_t before = static_cast<int64_t>(std::time(nullptr));
    ASSERT_TRUE(run(second));
    const int64_t after = static_cast<int64_t>(std::time(nullptr));
    EXPECT_GT(second.serial, first.serial);
    list = read(deployed("TarnFileList.xml"));
    EXPECT_TRUE(listSignatureValid(list, read(deployed("TarnFileList.xml.sig")), publicKey));
    element = ListElementText();
    ASSERT_TRUE(readFileListText(list, element, [](const ListEntryText&) {}));
    ASSERT_TRUE(element.expires);
    EXPECT_GE(*element.expires, uint64_t(before) + 30 * 86400);
    EXPECT_LE(*element.expires, uint64_t(after) + 30 * 86400);
    EXPECT_EQ(second.expires, *element.expires);
    options_.validDays = 0;

    // The state of a publisher that listed no SHA-256: the unchanged file is hashed again, so
    // that the signed list gives its SHA-256.
    std::string state = read(deployment_ / ".publish" / "state");
    ASSERT_EQ(state.rfind("ornivel-publish state 2\n", 0), 0u);
    state[22] = '1';
    for (size_t line = state.find('\n'); line + 1 < state.size(); line = state.find('\n', line + 1)) {
        const size_t md5End = state.find('\t', line + 1);
        state.erase(md5End, state.find('\t', md5End + 1) - md5End);
    }
    std::ofstream(deployment_ / ".publish" / "state", std::ios::binary) << state;
    PublishSummary third;
    ASSERT_TRUE(run(third));
    EXPECT_EQ(third.rehashed, 1u);
    list = read(deployed("TarnFileList.xml"));
    entries.clear();
    ASSERT_TRUE(readFileListText(list, element, [&entries](const ListEntryText& e) { entries.push_back(e); }));
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].sha256, sha256HexOfBytes("a"));

    // Published unsigned again: no signature of an older list stays beside it.
    options_.keyFile.clear();
    ASSERT_TRUE(run(second));
    EXPECT_EQ(read(deployed("TarnFileList.xml")).rfind("<FileList>\r\n", 0), 0u);
    EXPECT_FALSE(fs::exists(deployed("TarnFileList.xml.sig")));

    // A damaged key, a key that would be published, a key in the client folder: nothing is written.
    const fs::path damaged = root_ / "damaged.key";
    std::ofstream(damaged) << secretText.substr(0, 60);
    fs::copy_file(keys / "ornivel-signing.key", client_ / "ornivel-signing.key");
    for (const fs::path& key : {damaged, keys / "ornivel-signing.key", client_ / "ornivel-signing.key"}) {
        options_.keyFile = key.string();
        const std::string before = read(deployed("TarnFileList.xml"));
        EXPECT_FALSE(run(second)) << key;
        ASSERT_EQ(problems_.size(), 1u) << key;
        EXPECT_EQ(read(deployed("TarnFileList.xml")), before);
    }
    EXPECT_NE(problems_[0].find("must lie outside the client and the deployment folder"), std::string::npos) << problems_[0];
}

TEST_F(Publisher, ReportsMarkTheSignedListAndServeTheReportLocation) {
    const auto listElement = [this](ListElementText& element) {
        std::string list = read(deployed("TarnFileList.xml"));
        size_t entries = 0;
        return readFileListText(list, element, [&entries](const ListEntryText&) { ++entries; }) && entries == 1;
    };
    const fs::path keys = root_ / "keys";
    std::string line, problem;
    ASSERT_TRUE(generateKeys(keys, line, problem)) << problem;
    PublicKey publicKey{};
    ASSERT_TRUE(parsePublicKeyText(line, publicKey));
    write("module/a.jar", "a");
    options_.keyFile = (keys / "ornivel-signing.key").string();
    options_.report = true;
    PublishSummary summary;
    ASSERT_TRUE(run(summary)) << problems_[0];
    ListElementText element;
    ASSERT_TRUE(listElement(element));
    EXPECT_TRUE(element.report);
    EXPECT_EQ(element.serial, summary.serial);
    EXPECT_TRUE(listSignatureValid(read(deployed("TarnFileList.xml")), read(deployed("TarnFileList.xml.sig")), publicKey))
        << "the mark is signed with the list";
    EXPECT_NE(read(deployment_ / "nginx.conf")
                  .find("location = /ornivel/check/report {\n    access_log \"" + deployment_.string() + "/reports.log\""),
              std::string::npos);

    // Published again without --report: the mark and the location are gone.
    options_.report = false;
    options_.keyFile.clear();
    ASSERT_TRUE(run(summary));
    ASSERT_TRUE(listElement(element));
    EXPECT_FALSE(element.report);
    EXPECT_EQ(read(deployed("TarnFileList.xml")).rfind("<FileList>\r\n", 0), 0u);
    EXPECT_EQ(read(deployment_ / "nginx.conf").find("report"), std::string::npos);
}

// Three releases of a JAR-like file (incompressible bytes, a few pieces changed each time).
TEST_F(Publisher, KeptVersionsServePatchesAndGoWithTheirFile) {
    std::vector<std::string> releases(1, std::string(256 * 1024, '\0'));
    uint64_t state = 88172645463325252ull;
    for (size_t at = 0; at < releases[0].size(); at += 8) {
        state ^= state << 13, state ^= state >> 7, state ^= state << 17;
        std::memcpy(&releases[0][at], &state, 8);
    }
    for (int i = 1; i < 3; ++i) {
        releases.push_back(releases.back());
        releases.back().replace(static_cast<size_t>(i) * 50000, 3000, std::string(3000, static_cast<char>('a' + i)));
    }
    std::vector<std::string> sha;
    for (const std::string& r : releases) sha.push_back(sha256HexOfBytes(r));
    const auto patched = [this](const std::string& from, const std::string& to, size_t size) {
        const std::string patch = read(deployed(".ornivel-patches/" + sha256HexOfBytes(to) + "/" + sha256HexOfBytes(from)));
        std::string rebuilt(size, '\0');
        PatchBytesReader reader(patch);
        return !patch.empty() && patch.size() < size / 10 &&
               rebuildFromPatch(from, reader, reinterpret_cast<unsigned char*>(rebuilt.data()), size) ==
                   PatchOutcome::Rebuilt &&
               rebuilt == to;
    };
    const auto entryOf = [this]() {
        const std::string list = read(deployed("TarnFileList.xml"));
        const size_t at = list.find("Path=\"module\\app.jar\"");
        return at == std::string::npos ? std::string() : list.substr(at, list.find('\n', at) - at);
    };
    write("module/app.jar", releases[0]);
    write("module/small.jar", "small files travel whole");
    PublishSummary summary;
    ASSERT_TRUE(run(summary = PublishSummary()));
    EXPECT_EQ(summary.patches, 0u);
    EXPECT_EQ(entryOf().find("patches"), std::string::npos);

    write("module/app.jar", releases[1]);
    write("module/small.jar", "small files travel whole, always");
    ASSERT_TRUE(run(summary = PublishSummary()));
    EXPECT_EQ(summary.patches, 1u);
    EXPECT_NE(entryOf().find("patches=\"" + sha[0] + "\""), std::string::npos) << entryOf();
    EXPECT_TRUE(patched(releases[0], releases[1], releases[1].size()));

    write("module/app.jar", releases[2]);
    ASSERT_TRUE(run(summary = PublishSummary()));
    EXPECT_EQ(summary.patches, 2u);
    EXPECT_NE(entryOf().find("patches=\"" + sha[1] + " " + sha[0] + "\""), std::string::npos) << entryOf();
    EXPECT_TRUE(patched(releases[0], releases[2], releases[2].size()));
    EXPECT_TRUE(patched(releases[1], releases[2], releases[2].size()));
    EXPECT_FALSE(fs::exists(deployed(".ornivel-patches/" + sha[1]))) << "patches to a replaced version go";

    // Unchanged: nothing is made again; fewer versions kept: the older ones go.
    ASSERT_TRUE(run(summary = PublishSummary()));
    EXPECT_EQ(summary.patches, 0u);
    EXPECT_NE(entryOf().find(sha[0]), std::string::npos);
    options_.keep = 1;
    ASSERT_TRUE(run(summary = PublishSummary()));
    EXPECT_NE(entryOf().find("patches=\"" + sha[1] + "\""), std::string::npos) << entryOf();
    EXPECT_FALSE(fs::exists(deployed(".ornivel-patches/" + sha[2] + "/" + sha[0])));
    EXPECT_FALSE(fs::exists(deployment_ / ".publish/kept" / sha[0]));

    // The file gone: its patches and kept versions go with it.
    fs::remove(client_ / "module/app.jar");
    ASSERT_TRUE(run(summary = PublishSummary()));
    EXPECT_FALSE(fs::exists(deployed(".ornivel-patches")));
    EXPECT_TRUE(fs::is_empty(deployment_ / ".publish/kept"));

    // The patch folder is the deployment's own.
    write(".ornivel-patches/x", "x");
    EXPECT_FALSE(run(summary = PublishSummary()));
}

} // namespace
} // namespace ornivel::publish
