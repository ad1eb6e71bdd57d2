#include "tests/ui/UiTestSupport.h"

#include <commctrl.h>
#include <objbase.h>

#include "tests/support/windows/Screenshot.h"

namespace ornivel::test {

void initUi() {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS | ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
}

void installPicture(const TempFolder& folder) {
    folder.write(L"system\\pictures\\ornivel.bmp",
                 readFileBytes(windowsPathOf(std::string(ORNIVEL_SOURCE_UNIX_PATH) + "/res/ornivel.bmp")));
}

std::wstring loginHostExe() { return windowsPathOf(ORNIVEL_UI_HOST_UNIX_PATH); }

std::vector<ServerInfo> threeServers() {
    return {ServerInfo(L"srv01", 8080, L"Production", -1), ServerInfo(L"srv02", 8181, L"Training", 7),
            ServerInfo(L"srv03", 9090, L"Test system", 2)};
}

std::wstring readRegistryString(const std::wstring& keyPath) {
    wchar_t buffer[2048] = {};
    DWORD size = sizeof buffer;
    if (RegGetValueW(HKEY_CURRENT_USER, keyPath.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, buffer, &size) != ERROR_SUCCESS)
        return L"<missing>";
    return buffer;
}

bool readRegistryDword(const std::wstring& keyPath, DWORD& value) {
    DWORD size = sizeof value;
    return RegGetValueW(HKEY_CURRENT_USER, keyPath.c_str(), nullptr, RRF_RT_REG_DWORD, nullptr, &value, &size) ==
           ERROR_SUCCESS;
}

void writeRegistryString(const std::wstring& keyPath, const std::wstring& value) {
    RegSetKeyValueW(HKEY_CURRENT_USER, keyPath.c_str(), nullptr, REG_SZ, value.c_str(),
                    static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

void writeRegistryDword(const std::wstring& keyPath, DWORD value) {
    RegSetKeyValueW(HKEY_CURRENT_USER, keyPath.c_str(), nullptr, REG_DWORD, &value, sizeof value);
}

bool registryKeyExists(const std::wstring& keyPath) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, keyPath.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

void deleteRegistryKey(const std::wstring& keyPath) { RegDeleteTreeW(HKEY_CURRENT_USER, keyPath.c_str()); }

void screenshot(HWND window, const std::wstring& name) {
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    Sleep(400);
    saveScreenshot(window, screenshotPath(name));
}

} // namespace ornivel::test
