// The one check for relative paths that must stay inside a folder and be writable on Windows.
#include <gtest/gtest.h>

#include "common/RelativePath.h"

namespace ornivel {
namespace {

TEST(RelativePath, NormalFormDropsDotsAndUsesBackslashes) {
    EXPECT_EQ(checkRelativePath(L"module\\a.jar").path, L"module\\a.jar");
    EXPECT_EQ(checkRelativePath(L"system/jar/x.jar").path, L"system\\jar\\x.jar");
    EXPECT_EQ(checkRelativePath(L".\\ornivel.exe").path, L"ornivel.exe");
    EXPECT_EQ(checkRelativePath(L"./gs//lib\\x").path, L"gs\\lib\\x");
    for (const wchar_t* good : {L"module\\..a.jar", L"module\\a..jar", L"my.dir\\x", L"Firma J\u00fcrgen & Co (Test)\\x",
                                L" leading blank", L"console.txt", L"com10", L"lpt0.txt", L"nulx", L"COM1x.txt"}) {
        EXPECT_TRUE(checkRelativePath(good).ok()) << good;
    }
}

TEST(RelativePath, RefusesWhatLeavesTheFolderOrCannotBeWritten) {
    const std::pair<const wchar_t*, PathFault> cases[] = {
        {L"", PathFault::Empty},
        {L".", PathFault::Empty},
        {L".\\.\\", PathFault::Empty},
        {L"\\windows\\x.dll", PathFault::Absolute},
        {L"/etc/x", PathFault::Absolute},
        {L"\\\\server\\share\\x", PathFault::Absolute},
        {L"C:\\x.dll", PathFault::Colon},
        {L"c:x.dll", PathFault::Colon},
        {L"file.txt:stream", PathFault::Colon},
        {L"..\\x.jar", PathFault::ParentStep},
        {L"module\\..\\..\\x.jar", PathFault::ParentStep},
        {L"module/../../x", PathFault::ParentStep},
        {L"a\\...\\b", PathFault::ParentStep},
        {L"a\\.. \\b", PathFault::ParentStep},
        {L"ornivel.exe.", PathFault::TrailingDotOrBlank},
        {L"module\\a.jar ", PathFault::TrailingDotOrBlank},
        {L"dir.\\x", PathFault::TrailingDotOrBlank},
        {L"CON", PathFault::DeviceName},
        {L"module\\nul.jar", PathFault::DeviceName},
        {L"Aux.tar.gz", PathFault::DeviceName},
        {L"com1", PathFault::DeviceName},
        {L"LPT9.log", PathFault::DeviceName},
        {L"PRN .txt", PathFault::DeviceName},
        {L"conin$", PathFault::DeviceName},
        {L"CONOUT$.x", PathFault::DeviceName},
        {L"com\u00b9", PathFault::DeviceName},
        {L"a\\b?.jar", PathFault::BadCharacter},
        {L"a*b", PathFault::BadCharacter},
        {L"x\ry", PathFault::BadCharacter},
        {L"a<b>", PathFault::BadCharacter},
    };
    for (const auto& [path, fault] : cases) {
        const CheckedPath checked = checkRelativePath(path);
        EXPECT_EQ(checked.fault, fault) << path;
        EXPECT_TRUE(checked.path.empty()) << path;
    }
}

} // namespace
} // namespace ornivel
