#include <gtest/gtest.h>

#include "res/resource.h"
#include "tests/support/windows/WindowDriver.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/CallbackTarget.h"
#include "ui/Hyperlink.h"

namespace ornivel {
namespace {

INT_PTR CALLBACK plainDialog(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

class HyperlinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::initUi();
        dialog = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_REQUEST_PASSWORD), nullptr,
                                    plainDialog, 0);
        ASSERT_NE(dialog, nullptr);
    }
    void TearDown() override {
        if (IsWindow(dialog)) DestroyWindow(dialog);
    }
    HWND control(int id) const { return GetDlgItem(dialog, id); }
    LONG_PTR procedureOf(HWND window) const { return GetWindowLongPtrW(window, GWLP_WNDPROC); }

    HWND dialog = nullptr;
};

int callbackCalls = 0;
void* callbackArgument = nullptr;
void recordCallback(void* argument) {
    ++callbackCalls;
    callbackArgument = argument;
}

TEST_F(HyperlinkTest, SecondSetHyperlinkChangesTheTargetWithoutSubclassingTwice) {
    const LONG_PTR original = procedureOf(control(IDC_REQUEST_HEADING));
    setHyperlink(dialog, IDC_REQUEST_HEADING, L"https://example.org/first");
    const LONG_PTR linked = procedureOf(control(IDC_REQUEST_HEADING));
    EXPECT_NE(linked, original);
    HANDLE block = GetPropW(control(IDC_REQUEST_HEADING), L"href_dat");
    ASSERT_NE(block, nullptr);

    setHyperlink(dialog, IDC_REQUEST_HEADING, L"https://example.org/second");
    EXPECT_EQ(procedureOf(control(IDC_REQUEST_HEADING)), linked);
    EXPECT_EQ(GetPropW(control(IDC_REQUEST_HEADING), L"href_dat"), block);
    EXPECT_EQ(hyperlinkTarget(control(IDC_REQUEST_HEADING)), L"https://example.org/second");
    // Messages still reach the static control behind the link.
    SetWindowTextW(control(IDC_REQUEST_HEADING), L"Changed");
    EXPECT_EQ(test::controlText(dialog, IDC_REQUEST_HEADING), L"Changed");
}

TEST_F(HyperlinkTest, SecondLinkInTheDialogSharesTheDialogBlock) {
    setHyperlink(dialog, IDC_REQUEST_HEADING, L"a");
    HANDLE dialogBlock = GetPropW(dialog, L"href_dlg");
    const LONG_PTR dialogProcedure = procedureOf(dialog);
    ASSERT_NE(dialogBlock, nullptr);
    setHyperlink(dialog, IDC_REQUEST_EXPLANATION, L"b");
    EXPECT_EQ(GetPropW(dialog, L"href_dlg"), dialogBlock);
    EXPECT_EQ(procedureOf(dialog), dialogProcedure);
}

TEST_F(HyperlinkTest, UnknownControlGetsNothing) {
    setHyperlink(dialog, 4711, L"a");
    EXPECT_EQ(GetPropW(dialog, L"href_dlg"), nullptr);
}

TEST_F(HyperlinkTest, LinkIsBlueUnderlinedClickableAndRunsItsCallback) {
    int marker = 0;
    callbackCalls = 0;
    setCallbackLink(dialog, IDC_REQUEST_HEADING, recordCallback, &marker);
    HWND link = control(IDC_REQUEST_HEADING);
    EXPECT_TRUE(isCallbackTarget(hyperlinkTarget(link)));

    EXPECT_EQ(SendMessageW(link, WM_NCHITTEST, 0, 0), HTCLIENT);
    EXPECT_EQ(SendMessageW(link, WM_SETCURSOR, reinterpret_cast<WPARAM>(link), HTCLIENT), TRUE);

    HDC dc = GetDC(link);
    SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    LRESULT brush = SendMessageW(dialog, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(link));
    EXPECT_EQ(brush, reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH)));
    EXPECT_EQ(GetTextColor(dc), RGB(0, 0, 255));
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    EXPECT_TRUE(metrics.tmUnderlined);
    ReleaseDC(link, dc);

    SendMessageW(link, WM_LBUTTONDOWN, MK_LBUTTON, 0);
    EXPECT_EQ(callbackCalls, 1);
    EXPECT_EQ(callbackArgument, &marker);
}

TEST_F(HyperlinkTest, OtherStaticsKeepTheirColours) {
    setHyperlink(dialog, IDC_REQUEST_HEADING, L"a");
    HWND plain = control(IDC_REQUEST_EXPLANATION);
    HDC dc = GetDC(plain);
    SetTextColor(dc, RGB(1, 2, 3));
    SendMessageW(dialog, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(plain));
    EXPECT_NE(GetTextColor(dc), RGB(0, 0, 255));
    ReleaseDC(plain, dc);
}

TEST_F(HyperlinkTest, DestroyingTheDialogRemovesTheProperties) {
    setHyperlink(dialog, IDC_REQUEST_HEADING, L"a");
    HWND link = control(IDC_REQUEST_HEADING);
    // Watch the link's WM_DESTROY from outside: the property must be gone afterwards.
    DestroyWindow(dialog);
    EXPECT_FALSE(IsWindow(link));
    dialog = nullptr;
}

TEST_F(HyperlinkTest, CentreWindowKeepsAWideWindowOnTheScreen) {
    HWND owner = CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP | WS_VISIBLE, 0, 100, 200, 100, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    HWND wide = CreateWindowExW(0, L"STATIC", L"wide", WS_POPUP | WS_VISIBLE, 500, 500, 300, 80, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    EXPECT_TRUE(centreWindow(wide, owner));
    RECT r{};
    GetWindowRect(wide, &r);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 100 + (100 - 80) / 2);
    EXPECT_EQ(r.right - r.left, 300);
    centreWindow(wide, nullptr);
    GetWindowRect(wide, &r);
    EXPECT_EQ(r.left, (GetSystemMetrics(SM_CXSCREEN) - 300) / 2);
    DestroyWindow(wide);
    DestroyWindow(owner);
}

} // namespace
} // namespace ornivel
