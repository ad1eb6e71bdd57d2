#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>

#include "res/resource.h"
#include "tests/support/windows/WindowDriver.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/CDialogRequestPassword.h"

namespace ornivel {
namespace {

using namespace test;

std::wstring resourceString(UINT id) {
    wchar_t buffer[1024];
    int n = LoadStringW(GetModuleHandleW(nullptr), id, buffer, 1024);
    return std::wstring(buffer, n > 0 ? n : 0);
}

void typeText(HWND edit, const std::wstring& text) {
    for (wchar_t c : text) SendMessageW(edit, WM_CHAR, c, 1);
}

struct ResetRequests {
    std::mutex lock;
    std::vector<std::wstring> answers;  // given in order
    std::vector<std::tuple<std::wstring, int, std::wstring>> calls;
    std::wstring answer(const std::wstring& host, int port, const std::wstring& mail) {
        std::lock_guard<std::mutex> guard(lock);
        calls.emplace_back(host, port, mail);
        std::wstring next = answers.empty() ? L"" : answers.front();
        if (!answers.empty()) answers.erase(answers.begin());
        return next;
    }
};

class PasswordDialogTest : public ::testing::Test {
protected:
    void SetUp() override { initUi(); }
    HWND open(const std::wstring& prefill) {
        runner = std::thread([this, prefill] {
            CDialogRequestPassword dialog(nullptr, prefill, L"srv01", 8080,
                                          [this](const std::wstring& h, int p, const std::wstring& m) {
                                              return requests.answer(h, p, m);
                                          });
            result = dialog.result();
        });
        WindowQuery query;
        query.title = L"Request password";
        query.className = L"#32770";
        query.processId = GetCurrentProcessId();
        return waitForWindow(query);
    }
    ResetRequests requests;
    std::thread runner;
    std::atomic<INT_PTR> result{-5};
};

TEST_F(PasswordDialogTest, ButtonFollowsTheFieldAndAnswersAreReported) {
    requests.answers = {L"false", L"true"};
    HWND dialog = open(L"");
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(controlText(dialog, IDC_MAIL_ADDRESS), L"");
    EXPECT_FALSE(controlEnabled(dialog, IDOK));
    EXPECT_TRUE(controlEnabled(dialog, IDCANCEL));

    // A click on the disabled button does nothing.
    SendMessageW(dialog, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(requests.calls.empty());

    typeText(GetDlgItem(dialog, IDC_MAIL_ADDRESS), L"anna@example.org");
    EXPECT_TRUE(controlEnabled(dialog, IDOK));

    // The two buttons, widened by 32 pixels, are equally wide and 19 pixels high.
    RECT request = controlRect(dialog, IDOK), cancel = controlRect(dialog, IDCANCEL);
    EXPECT_EQ(request.right - request.left, cancel.right - cancel.left);
    EXPECT_EQ(request.bottom - request.top, 19);
    EXPECT_EQ(cancel.bottom - cancel.top, 19);
    EXPECT_LT(request.right, cancel.left);
    screenshot(dialog, L"password-request");

    clickButton(dialog, IDOK);
    HWND box = waitForMessageBox(GetCurrentProcessId(), 10000, dialog);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(windowText(box), resourceString(IDS_PW_FAIL_CAPTION));
    EXPECT_EQ(messageBoxText(box), resourceString(IDS_PW_FAIL_TEXT));
    screenshot(box, L"password-request-failed");
    answerMessageBox(box);
    ASSERT_TRUE(waitUntil([&] { return !IsWindow(box); }));
    EXPECT_TRUE(IsWindow(dialog));
    EXPECT_EQ(controlText(dialog, IDC_MAIL_ADDRESS), L"anna@example.org");

    clickButton(dialog, IDOK);
    box = waitForMessageBox(GetCurrentProcessId(), 10000, dialog);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(windowText(box), resourceString(IDS_PW_OK_CAPTION));
    EXPECT_EQ(messageBoxText(box), resourceString(IDS_PW_OK_TEXT));
    answerMessageBox(box);
    runner.join();
    EXPECT_EQ(result, 1);

    ASSERT_EQ(requests.calls.size(), 2u);
    EXPECT_EQ(std::get<0>(requests.calls[0]), L"srv01");
    EXPECT_EQ(std::get<1>(requests.calls[0]), 8080);
    EXPECT_EQ(std::get<2>(requests.calls[0]), L"anna@example.org");
}

TEST_F(PasswordDialogTest, PrefilledAddressEnablesTheButtonAndCancelAsksNothing) {
    HWND dialog = open(L"bob");
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(controlText(dialog, IDC_MAIL_ADDRESS), L"bob");
    EXPECT_TRUE(controlEnabled(dialog, IDOK));
    setControlText(dialog, IDC_MAIL_ADDRESS, L"");
    EXPECT_FALSE(controlEnabled(dialog, IDOK));
    clickButton(dialog, IDCANCEL);
    runner.join();
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(requests.calls.empty());
}

TEST(PasswordResetCall, WithoutAJavaHostTheAnswerIsAFailure) {
    EXPECT_EQ(callResetPassword(nullptr, L"srv01", 8080, L"a@b"), L"");
}

} // namespace
} // namespace ornivel
