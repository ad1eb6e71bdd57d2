#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "tests/support/windows/WindowDriver.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/CompanyChooser.h"

namespace ornivel {
namespace {

using namespace test;

TEST(CompanyServerFile, HoldsTheAddressBetweenSchemeAndSlashWithoutLineEnd) {
    EXPECT_EQ(companyServerFileText(L"srv-a/client"), "http://srv-a/client/");
    EXPECT_EQ(companyServerFileText(L""), "http:///");
}

TEST(CompanyKey, MustNameAFolderBelowTheCurrentOne) {
    EXPECT_TRUE(isUsableCompanyKey(L"DIZ"));
    EXPECT_TRUE(isUsableCompanyKey(L"Company A"));
    for (const wchar_t* bad : {L"", L".", L"..", L"..\\up", L"a/b", L"C:", L"x?", L"a|b"})
        EXPECT_FALSE(isUsableCompanyKey(bad)) << bad;
}

TEST(CompanyFolder, IsSetUpOnceAndExistingFilesAreKept) {
    TempFolder folder(L"chooser");
    WorkingFolder working(folder.path());
    folder.write(L"launcher.bin", "first launcher");
    setUpCompanyFolder(L"A", L"srv-a/client", folder / L"launcher.bin");
    EXPECT_EQ(folder.read(L"A\\ornivel.exe"), "first launcher");
    EXPECT_EQ(folder.read(L"A\\ornivel-Server.dat"), "http://srv-a/client/");
    EXPECT_FALSE(folder.exists(L"A\\ornivel-Key.txt")) << "an installation without a key makes none";

    // An installation with a deployment key hands it to every company installation it makes.
    const std::string keys = "ed25519 " + std::string(64, '1') + "\r\ned25519 " + std::string(64, '2') + "\r\n";
    folder.write(L"ornivel-Key.txt", keys);
    setUpCompanyFolder(L"B", L"srv-b", folder / L"launcher.bin");
    EXPECT_EQ(folder.read(L"B\\ornivel-Key.txt"), keys);
    setUpCompanyFolder(L"A", L"srv-a/client", folder / L"launcher.bin");
    EXPECT_EQ(folder.read(L"A\\ornivel-Key.txt"), keys);
    folder.write(L"A\\ornivel-Key.txt", "kept key");

    folder.write(L"launcher.bin", "second launcher");
    folder.write(L"A\\ornivel-Server.dat", "https://kept/");
    setUpCompanyFolder(L"A", L"srv-other", folder / L"launcher.bin");
    EXPECT_EQ(folder.read(L"A\\ornivel.exe"), "first launcher");
    EXPECT_EQ(folder.read(L"A\\ornivel-Server.dat"), "https://kept/");
    EXPECT_EQ(folder.read(L"A\\ornivel-Key.txt"), "kept key");
}

TEST(CompanyChooserWindow, OneEquallyWideButtonPerCompanyAndCloseCreatesNothing) {
    initUi();
    TempFolder folder(L"chooser");
    WorkingFolder working(folder.path());
    CompanyCatalog catalog;
    catalog.companyCaptions = {{L"A", L"Short"}, {L"B", L"A much longer company caption"}};
    catalog.companyServers = {{L"A", L"srv-a"}, {L"B", L"srv-b"}};
    catalog.displayCompanies = {L"B", L"A", L"C"};  // C has no caption

    std::atomic<int> result{-5};
    std::thread runner([&] { result = runCompanyChooser(GetModuleHandleW(nullptr), catalog); });
    WindowQuery query;
    query.className = L"ChooseCompany";
    query.processId = GetCurrentProcessId();
    HWND window = waitForWindow(query);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(windowText(window), L"Bitte System ausw\u00e4hlen");
    EXPECT_NE(GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);

    std::vector<HWND> buttons = childWindows(window);
    ASSERT_EQ(buttons.size(), 3u);
    EXPECT_EQ(windowText(buttons[0]), L"A much longer company caption");
    EXPECT_EQ(windowText(buttons[1]), L"Short");
    EXPECT_EQ(windowText(buttons[2]), L"");

    HDC dc = GetDC(window);
    SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    SIZE widest{};
    const std::wstring longest = L"A much longer company caption";
    GetTextExtentPoint32W(dc, longest.c_str(), static_cast<int>(longest.size()), &widest);
    ReleaseDC(window, dc);

    RECT previous{};
    for (size_t i = 0; i < buttons.size(); ++i) {
        RECT r{};
        GetWindowRect(buttons[i], &r);
        MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&r), 2);
        EXPECT_EQ(GetDlgCtrlID(buttons[i]), static_cast<int>(i));
        EXPECT_EQ(r.left, 4);
        EXPECT_EQ(r.right - r.left, widest.cx + 8);
        EXPECT_EQ(r.bottom - r.top, widest.cy + 8);
        EXPECT_EQ(r.top, i == 0 ? 4 : previous.bottom + 4);
        previous = r;
    }
    RECT client{};
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, widest.cx + 16);
    EXPECT_EQ(client.bottom, previous.bottom + 4);
    screenshot(window, L"company-chooser");

    PostMessageW(window, WM_CLOSE, 0, 0);
    runner.join();
    EXPECT_EQ(result, 0);
    EXPECT_FALSE(folder.exists(L"A"));
    EXPECT_FALSE(folder.exists(L"B"));
}

} // namespace
} // namespace ornivel
