#include <gtest/gtest.h>

#include <algorithm>

#include "launcher/ClassPath.h"
#include "tests/support/TestSupport.h"

namespace ornivel {
namespace {

using Entries = std::vector<std::wstring>;

Entries sorted(Entries e) {
    std::sort(e.begin(), e.end());
    return e;
}

TEST(ClassPath, JoinsEveryEntryWithATrailingSemicolon) {
    EXPECT_EQ(joinClassPath({}), L"");
    EXPECT_EQ(joinClassPath({L"module/a.jar", L"module/sub"}), L"module/a.jar;module/sub;");
}

TEST(ClassPath, EmptyOrMissingFoldersGiveAnEmptyClassPath) {
    test::TempFolder folder(L"cp");
    EXPECT_EQ(buildClassPath(folder.path()), L"");
    folder.makeFolder(L"module");
    EXPECT_EQ(buildClassPath(folder.path()), L"");
}

TEST(ClassPath, JarsThenJbnsThenFoldersPerModuleFolder) {
    test::TempFolder folder(L"cp");
    for (const wchar_t* f : {L"module\\b.jar", L"module\\a.jar", L"module\\x.jbn", L"module\\readme.txt",
                             L"system\\jar\\s.jar", L"system\\jar\\t.jbn"})
        folder.write(f, "x");
    folder.makeFolder(L"module\\sub");
    folder.makeFolder(L"module\\.hidden");
    folder.makeFolder(L"module\\dir.jar");  // a folder matching the pattern is no archive
    folder.makeFolder(L"system\\jar\\lib");

    Entries entries = classPathEntries(folder.path());
    ASSERT_EQ(entries.size(), 8u);
    // Within a group the order is the system's; the groups follow each other.
    EXPECT_EQ(sorted(Entries(entries.begin(), entries.begin() + 2)), (Entries{L"module/a.jar", L"module/b.jar"}));
    EXPECT_EQ(entries[2], L"module/x.jbn");
    EXPECT_EQ(sorted(Entries(entries.begin() + 3, entries.begin() + 5)), (Entries{L"module/dir.jar", L"module/sub"}));
    EXPECT_EQ(entries[5], L"system/jar/s.jar");
    EXPECT_EQ(entries[6], L"system/jar/t.jbn");
    EXPECT_EQ(entries[7], L"system/jar/lib");
}

} // namespace
} // namespace ornivel
