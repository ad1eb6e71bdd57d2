#include "ui/CompanyChooser.h"

#include <shellapi.h>
#include <cstdio>

#include "common/Text.h"
#include "ui/Hyperlink.h"
#include "ui/WindowGeometry.h"
#include "common/Guarded.h"

namespace ornivel {

namespace {

const wchar_t* const kClassName = L"ChooseCompany";
const wchar_t* const kTitle = L"Bitte System ausw\u00e4hlen";
constexpr DWORD kStyle = WS_VISIBLE | WS_CAPTION | WS_SYSMENU;

class CompanyChooser {
public:
    explicit CompanyChooser(const CompanyCatalog& catalog) : catalog_(catalog) {}
    void create(HWND window);
    void click(size_t index);

private:
    void layout();
    std::wstring lookUp(const std::map<std::wstring, std::wstring>& map, const std::wstring& key) const {
        auto found = map.find(key);
        return found == map.end() ? std::wstring() : found->second;
    }

    CompanyCatalog catalog_;
    HWND window_ = nullptr;
};

// Process-wide: window -> chooser (one chooser per run, on one thread).
std::map<HWND, CompanyChooser*>& chooserByWindow() {
    static auto* table = new std::map<HWND, CompanyChooser*>;
    return *table;
}

void CompanyChooser::create(HWND window) {
    window_ = window;
    chooserByWindow()[window] = this;
    layout();
}

void CompanyChooser::layout() {
    HDC dc = GetDC(window_);
    HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    HGDIOBJ previous = SelectObject(dc, font);
    std::vector<Extent> labels;
    std::vector<std::wstring> texts;
    for (const std::wstring& key : catalog_.displayCompanies) {
        texts.push_back(lookUp(catalog_.companyCaptions, key));
        SIZE size{};
        GetTextExtentPoint32W(dc, texts.back().c_str(), static_cast<int>(texts.back().size()), &size);
        labels.push_back(Extent{size.cx, size.cy});
    }
    const ChooserLayout layout = layoutChooser(labels);
    for (size_t i = 0; i < texts.size(); ++i) {
        const Box& b = layout.buttons[i];
        HWND button = CreateWindowExW(0, L"button", texts[i].c_str(), WS_CHILD | WS_VISIBLE, 0, b.top, 100, b.height(),
                                      window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(i)),
                                      reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(window_, GWLP_HINSTANCE)), nullptr);
        SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    }
    for (size_t i = 0; i < texts.size(); ++i) {
        const Box& b = layout.buttons[i];
        MoveWindow(GetDlgItem(window_, static_cast<int>(i)), b.left, b.top, b.width(), b.height(), TRUE);
    }
    RECT client{0, 0, layout.clientWidth, layout.clientHeight};
    AdjustWindowRect(&client, static_cast<DWORD>(GetWindowLongPtrW(window_, GWL_STYLE)), FALSE);
    MoveWindow(window_, 0, 0, client.right - client.left, client.bottom - client.top, TRUE);
    centreWindow(window_, nullptr);
    SelectObject(dc, previous);
    ReleaseDC(window_, dc);
}

void CompanyChooser::click(size_t index) {
    if (index >= catalog_.displayCompanies.size()) return;
    const std::wstring& key = catalog_.displayCompanies[index];
    if (!isUsableCompanyKey(key)) return;  // the button does nothing
    setUpCompanyFolder(key, lookUp(catalog_.companyServers, key), modulePath());
    ShellExecuteW(window_, L"open", L"ornivel.exe", L"", key.c_str(), SW_SHOWNORMAL);
    DestroyWindow(window_);
}

LRESULT CALLBACK chooserProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return guarded("the company chooser's window procedure", LRESULT{0}, [&]() -> LRESULT {
        auto found = chooserByWindow().find(window);
        CompanyChooser* chooser = found == chooserByWindow().end() ? nullptr : found->second;
        switch (message) {
        case WM_CREATE:
            reinterpret_cast<CompanyChooser*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams)->create(window);
            break;
        case WM_DESTROY:
            chooserByWindow().erase(window);
            PostQuitMessage(0);
            return 0;
        case WM_CLOSE:
            DestroyWindow(window);
            return 0;
        case WM_COMMAND:
            if (chooser && lParam != 0) chooser->click(LOWORD(wParam));
            return 0;
        default:
            break;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    });
}

} // namespace

bool isUsableCompanyKey(const std::wstring& key) {
    if (key.empty() || key == L"." || key == L"..") return false;
    return key.find_first_of(L"\\/:*?\"<>|") == std::wstring::npos;
}

std::string companyServerFileText(const std::wstring& serverAddress) { return "http://" + toAnsi(serverAddress) + "/"; }

void setUpCompanyFolder(const std::wstring& key, const std::wstring& serverAddress, const std::wstring& launcherPath) {
    CreateDirectoryW(key.c_str(), nullptr);
    CopyFileW(launcherPath.c_str(), (key + L"\\ornivel.exe").c_str(), TRUE);
    // The company's installation checks its deployment with the same keys as this one.
    CopyFileW(L"ornivel-Key.txt", (key + L"\\ornivel-Key.txt").c_str(), TRUE);
    const std::wstring serverFile = key + L"\\ornivel-Server.dat";
    if (GetFileAttributesW(serverFile.c_str()) != INVALID_FILE_ATTRIBUTES) return;
    FILE* file = _wfopen(serverFile.c_str(), L"w");
    if (!file) return;
    const std::string text = companyServerFileText(serverAddress);
    fwrite(text.data(), 1, text.size(), file);
    fclose(file);
}

int runCompanyChooser(HINSTANCE instance, const CompanyCatalog& catalog) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = chooserProcedure;
    windowClass.hInstance = instance;
    windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    windowClass.lpszClassName = kClassName;
    RegisterClassW(&windowClass);

    CompanyChooser chooser(catalog);
    HWND window = CreateWindowExW(WS_EX_TOPMOST | WS_EX_DLGMODALFRAME, kClassName, kTitle, kStyle, 100, 100, 200, 150,
                                  nullptr, nullptr, instance, &chooser);
    if (!window) return -1;
    SetForegroundWindow(window);
    MSG message;
    BOOL result;
    while ((result = GetMessageW(&message, nullptr, 0, 0)) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(result);
}

} // namespace ornivel
