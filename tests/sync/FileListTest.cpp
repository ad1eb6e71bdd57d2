#include <gtest/gtest.h>

#include "common/FileTimes.h"
#include "filelist/FileList.h"
#include "filelist/FileListValues.h"
#include "tests/support/TestSupport.h"

namespace ornivel {
namespace {

// 100-ns units since 1601 of a UTC time given as seconds since 1970.
FILETIME fileTimeOfUnix(long long seconds) {
    unsigned long long ticks = (static_cast<unsigned long long>(seconds) + 11644473600ull) * 10000000ull;
    return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}
FILETIME localOf(FILETIME utc) {
    FILETIME local;
    FileTimeToLocalFileTime(&utc, &local);
    return local;
}
unsigned long long ticksOf(FILETIME t) { return ticksOfFileTime(t); }
unsigned long long ticksOf(uint64_t t) { return t; }
bool sameFileTime(const FILETIME& a, const FILETIME& b) { return ornivel::sameFileTime(ticksOf(a), ticksOf(b)); }
bool sameFileTime(const FILETIME& a, uint64_t b) { return ornivel::sameFileTime(ticksOf(a), b); }

class FileListFile_ : public ::testing::Test {
protected:
    FileList loadText(const std::string& xml) {
        folder.write(L"TarnFileList.xml", xml);
        return FileList::load(folder / L"TarnFileList.xml");
    }
    test::TempFolder folder{L"list"};
};

TEST_F(FileListFile_, EntriesAreKeyedByLowerCasedPathAndListedInKeyOrder) {
    FileList list = loadText(
        "<FileList>\n"
        "  <File Path=\"module\\a.jar\" TimestampGMT=\"01.02.2024 10:00:00\" checksum=\"00112233445566778899aabbccddeeff\" Size=\"10\"/>\n"
        "  <!-- a comment between entries -->\n"
        "  <Entry Path=\"lib\\b.jar\" Timestamp=\"02.02.2024 10:00:00\" Size=\"20\"></Entry>\n"
        "  <File Path=\"MODULE\\A.JAR\" TimestampGMT=\"03.02.2024 10:00:00\" Size=\"30\"/>\n"
        "</FileList>\n");
    EXPECT_FALSE(list.damaged());
    ASSERT_EQ(list.size(), 2u);
    std::vector<FileListFile> files = list.files();
    EXPECT_EQ(files[0].path, L"lib\\b.jar");
    EXPECT_EQ(files[0].size, 20);
    EXPECT_EQ(files[0].checksum, L"");
    // The later letter-case duplicate replaced the earlier entry whole, checksum included.
    EXPECT_EQ(files[1].path, L"MODULE\\A.JAR");
    EXPECT_EQ(files[1].size, 30);
    EXPECT_EQ(files[1].checksum, L"");
    EXPECT_EQ(ticksOf(files[1].timestamp), ticksOf(localOf(fileTimeOfUnix(1706954400))));
    EXPECT_TRUE(list.contains(L"Module\\A.jar"));
    EXPECT_TRUE(list.contains(L"LIB\\B.JAR"));
    EXPECT_FALSE(list.contains(L"lib/b.jar"));
    FileList copy(list);
    EXPECT_EQ(copy.files().size(), 2u);
}

TEST_F(FileListFile_, GmtTimeIsPreferredAndConvertedToLocalFileTime) {
    FileList list = loadText(
        "<l><f Path=\"a\" Timestamp=\"05.05.2020 05:05:05\" TimestampGMT=\"01.02.2024 10:00:00\" Size=\"1\"/>"
        "<f Path=\"b\" Timestamp=\"01.02.2024 10:00:00\" Size=\"1\"/></l>");
    std::vector<FileListFile> files = list.files();
    ASSERT_EQ(files.size(), 2u);
    // 2024-02-01 10:00:00 UTC is 1706781600 seconds after 1970.
    const FILETIME expected = localOf(fileTimeOfUnix(1706781600));
    EXPECT_EQ(ticksOf(files[0].timestamp), ticksOf(expected));
    EXPECT_EQ(ticksOf(files[1].timestamp), ticksOf(expected));
}

TEST_F(FileListFile_, TheListElementIsTheFirstElementWhateverStandsBeforeIt) {
    const std::string list = "<l><f Path=\"a\"/><f Path=\".\\module/b.jar\"/></l>\n<!-- end -->\n";
    for (const std::string& prefix :
         {std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"), std::string("<!-- list -->"),
          std::string("\xEF\xBB\xBF  \r\n"), std::string("<!DOCTYPE l [ <!ENTITY x \"<l>\"> ]>\n<?pi x?>")}) {
        FileList read = loadText(prefix + list);
        EXPECT_EQ(read.state(), FileList::State::Read) << prefix;
        EXPECT_EQ(read.size(), 2u) << prefix;
        EXPECT_TRUE(read.contains(L"module\\b.jar")) << prefix;  // in its normal form
    }
    // Nothing, no list element, or markup that is not XML: not a list, never an empty one.
    for (const std::string& text : {std::string(""), std::string("<?xml version=\"1.0\"?>"), std::string("text"),
                                    std::string("<l><f Path=\"a\"/></l><second/>"), std::string("<a></b>")})
        EXPECT_EQ(loadText(text).state(), FileList::State::Damaged) << text;
    EXPECT_EQ(FileList::load(folder / L"missing.xml").size(), 0u);
    EXPECT_FALSE(FileList::load(folder / L"missing.xml").damaged());
    // An element without paths (an error page, say) names nothing usable.
    FileList page = loadText("<html><body>Not found</body></html>");
    EXPECT_EQ(page.size(), 0u);
    ASSERT_EQ(page.refusedPaths().size(), 1u);
    EXPECT_EQ(page.refusedPaths()[0].fault, PathFault::Empty);
}

TEST_F(FileListFile_, PathsThatCannotNameAFileInsideAreRefused) {
    FileList list = loadText("<l><f Path=\"ok.jar\"/><f Path=\"..\\x\"/><f Path=\"CON.txt\"/><f Path=\"ornivel.exe.\"/></l>");
    EXPECT_EQ(list.size(), 1u);
    ASSERT_EQ(list.refusedPaths().size(), 3u);
    EXPECT_EQ(list.refusedPaths()[1].path, L"CON.txt");
    EXPECT_EQ(list.refusedPaths()[1].fault, PathFault::DeviceName);
}

TEST_F(FileListFile_, MissingSizeAndUnreadableTimeMakeAnEntryCountAsChanged) {
    FileList list = loadText("<l><f Path=\"a\" TimestampGMT=\"yesterday\"/><f Path=\"b\" TimestampGMT=\"31.13.2024 10:00:00\" "
                             "Size=\"x\"/><f Path=\"c\" TimestampGMT=\"01.02.2024 10:00\" Size=\"3000000000\"/></l>");
    std::vector<FileListFile> files = list.files();
    ASSERT_EQ(files.size(), 3u);
    EXPECT_EQ(files[0].size, kUnknownListSize);
    EXPECT_EQ(files[1].size, kUnknownListSize);
    // 3,000,000,000 keeps its low 32 bits, the part compared with a file's size.
    EXPECT_EQ(static_cast<unsigned>(files[2].size), 3000000000u);
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    for (const FileListFile& file : files) {
        EXPECT_EQ(ticksOf(file.timestamp), 0u) << "entry " << testing::PrintToString(file.path);
        EXPECT_FALSE(sameFileTime(localOf(now), file.timestamp));
    }
}

TEST_F(FileListFile_, TheSerialIsTheListElementsOwnAttribute) {
    const std::string entries = "<f Path=\"a\" Serial=\"3\"/></FileList>";
    FileList list = loadText("<?xml version=\"1.0\"?>\n<FileList a=\"x\" Serial=\"1796780605\">" + entries);
    EXPECT_EQ(list.serial(), std::optional<uint64_t>(1796780605u));
    EXPECT_EQ(list.size(), 1u);
    EXPECT_EQ(loadText("<l Serial='18446744073709551615'/>").serial(), std::optional<uint64_t>(UINT64_MAX));
    // Without a readable serial a list reads as before.
    for (const char* tag : {"<FileList>", "<FileList Serial=\"\">", "<FileList Serial=\"-1\">", "<FileList Serial=\" 7\">",
                            "<FileList Serial=\"18446744073709551616\">", "<FileList Serial=\"7\" Serial=\"8\">"}) {
        FileList read = loadText(tag + entries);
        EXPECT_FALSE(read.serial().has_value()) << tag;
        EXPECT_EQ(read.state(), FileList::State::Read) << tag;
        EXPECT_EQ(read.size(), 1u) << tag;
    }
}

TEST(FileListValues, SizeText) {
    int size = 0;
    EXPECT_TRUE(parseListSize("  +42abc", size));
    EXPECT_EQ(size, 42);
    EXPECT_TRUE(parseListSize("-5", size));
    EXPECT_EQ(size, -5);
    EXPECT_TRUE(parseListSize("4294967296", size));
    EXPECT_EQ(size, 0);
    EXPECT_FALSE(parseListSize("", size));
    EXPECT_FALSE(parseListSize("-", size));
    EXPECT_FALSE(parseListSize(nullptr, size));
    EXPECT_FALSE(parseListSize("99999999999999999999999", size));
}

TEST(FileListCompare, SameFileTimeAllowsSixtySecondsWithinOneHighHalf) {
    const DWORD high = 0x01DA0000;
    const DWORD second = 10000000;
    FILETIME listed{1000u * second, high};
    EXPECT_TRUE(sameFileTime(FILETIME{listed.dwLowDateTime + 59 * second, high}, listed));
    EXPECT_TRUE(sameFileTime(listed, FILETIME{listed.dwLowDateTime + 59 * second, high}));
    EXPECT_TRUE(sameFileTime(FILETIME{listed.dwLowDateTime + 60 * second, high}, listed));
    EXPECT_FALSE(sameFileTime(FILETIME{listed.dwLowDateTime + 61 * second, high}, listed));
    EXPECT_FALSE(sameFileTime(FILETIME{listed.dwLowDateTime - 61 * second, high}, listed));
    // One second apart across a change of the high half: different.
    FILETIME beforeCarry{0xFFFFFFFFu - second / 2, high};
    FILETIME afterCarry{second / 2 - 1, high + 1};
    EXPECT_FALSE(sameFileTime(beforeCarry, afterCarry));
    // Within one high half the low halves compare as a signed 32-bit difference.
    EXPECT_TRUE(sameFileTime(FILETIME{0x7FFFFFF0u, high}, FILETIME{0x80000010u, high}));
    EXPECT_FALSE(sameFileTime(FILETIME{0u, high}, FILETIME{0x80000000u, high}));
    EXPECT_FALSE(sameFileTime(FILETIME{0u, high}, FILETIME{0xFFFFFFFFu - 10u, high}) == false);
}

TEST(FileListCompare, LowerCasingTouchesOnlyAsciiLetters) {
    EXPECT_EQ(lowerAscii(L"MODULE\\\u00c4BC[Z]@"), L"module\\\u00c4bc[z]@");
}

TEST_F(FileListFile_, MalformedDocumentsNeverCrash) {
    const std::string good = "<l><f Path=\"a\" Size=\"1\"/><f Path=\"b\" Size=\"2\"/>";
    // A list cut short is damaged as a whole: none of its entries may decide anything.
    FileList truncated = loadText(good + "<f Path=\"c");
    EXPECT_TRUE(truncated.damaged());
    EXPECT_EQ(truncated.size(), 0u);

    std::string garbage;
    unsigned seed = 12345;
    for (int i = 0; i < 200000; ++i) {
        seed = seed * 1103515245u + 12345u;
        garbage += static_cast<char>(seed >> 16);
    }
    for (const std::string& text : {garbage, "<" + garbage, "<l>" + garbage, "\xEF\xBB\xBF<l>" + garbage})
        EXPECT_TRUE(loadText(text).damaged());

    FileList huge = loadText("<l><f Path=\"" + std::string(4 << 20, 'x') + "\" Size=\"1\"/></l>");
    ASSERT_EQ(huge.size(), 1u);
    EXPECT_EQ(huge.files()[0].path.size(), size_t(4) << 20);

    std::string deep;
    for (int i = 0; i < 200000; ++i) deep += "<d>";
    EXPECT_TRUE(loadText("<l><f Path=\"a\"/>" + deep).damaged());
    // In UTF-8 documents a lead byte makes the reader step over the closing quotation mark:
    // the entry is then not read, and markup in values never reaches the reader at all.
    std::string hidden;
    for (int i = 0; i < 200000; ++i) hidden += "&gt;<q>";
    EXPECT_TRUE(loadText("\xEF\xBB\xBF<l><f Path=\"\xF0\" z=\"" + hidden + "\"/></l>").damaged());
    for (const char* lead : {"\xF0", "\xE0"}) {
        const FileList read = loadText("<?xml version=\"1.0\"?><l><f Path=\"a" + std::string(lead) + "\"/></l>");
        EXPECT_EQ(read.size(), 0u) << lead;
        EXPECT_TRUE(read.damaged() || !read.refusedPaths().empty()) << lead;
    }
    // A list larger than any memory (a sparse file of 8 TiB) fails cleanly.
    {
        HANDLE file = CreateFileW((folder / L"huge.xml").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        LARGE_INTEGER end;
        end.QuadPart = 1LL << 43;
        const bool made = SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file);
        CloseHandle(file);
        if (made) {
            EXPECT_EQ(FileList::load(folder / L"huge.xml").state(), FileList::State::OutOfMemory);
        }
        DeleteFileW((folder / L"huge.xml").c_str());
    }
    // A zero byte does not belong in a text document.
    EXPECT_TRUE(loadText(good + "</l>" + std::string(1, '\0') + "<x/>").damaged());
}

// Registered a second time with ctest under the time zone Europe/Berlin (one hour east of
// UTC in February; Wine takes the zone from TZ), see CMakeLists.txt.
TEST_F(FileListFile_, ZoneOneHourEastOfUtc) {
    if (GetEnvironmentVariableW(L"ORNIVEL_ZONE_TEST", nullptr, 0) == 0) GTEST_SKIP() << "runs in the zone test only";
    FileList list = loadText("<l><f Path=\"a\" TimestampGMT=\"01.02.2024 10:00:00\" Size=\"1\"/></l>");
    ASSERT_EQ(list.size(), 1u);
    // 01.02.2024 11:00:00 as a file time: 1706785200 seconds after 1970.
    EXPECT_EQ(ticksOf(list.files()[0].timestamp), ticksOf(fileTimeOfUnix(1706785200)));
}

} // namespace
} // namespace ornivel
