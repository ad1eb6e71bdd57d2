#include "tests/e2e/E2eSupport.h"

#include <tlhelp32.h>

#include <cstdio>

#include "common/Text.h"
#include "logdriver/LogDriver.h"
#include "res/resource.h"
#include "sync/OrnivelClient.h"
#include "tests/support/windows/WindowDriver.h"

namespace ornivel::test::e2e {

namespace {

constexpr UINT kSendTimeoutMs = 5000;

LRESULT sendTo(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kSendTimeoutMs, &result)) return -1;
    return static_cast<LRESULT>(result);
}

const wchar_t* const kProductKey = L"Software\\Torbenwald\\ornivel\\";

} // namespace

bool isMinusOne(DWORD exitCode) { return exitCode == 0xFFFFFFFFu || exitCode == 255u; }

std::string hexUtf16Of(const std::wstring& text) {
    std::string hex;
    for (wchar_t unit : text) {
        char digits[8];
        std::snprintf(digits, sizeof digits, "%04x", static_cast<unsigned>(static_cast<uint16_t>(unit)));
        hex += digits;
    }
    return hex;
}

std::string loginRecord(const std::string& hexUser, const std::string& passwordMd5, const std::string& host, int port,
                        const std::wstring& caption, int extra) {
    return "OGM -1 " + hexUser + " " + passwordMd5 + " " + host + " " + std::to_string(port) + " " +
           hexUtf16Of(caption) + " " + std::to_string(extra) + "\r\n<end>\r\n";
}

StoredValues::StoredValues(const TempFolder& installation) {
    std::wstring path = installation.path();
    while (!path.empty() && path.back() == L'\\') path.pop_back();
    name_ = path.substr(path.find_last_of(L'\\') + 1);
}

StoredValues::~StoredValues() {
    for (const wchar_t* kind : {L"lastUser", L"password", L"lastServer", L"deployment", L"listSerial", L"status"})
        RegDeleteTreeW(HKEY_CURRENT_USER, (std::wstring(kProductKey) + kind + L"\\" + name_).c_str());
}

std::wstring StoredValues::keyOf(const std::wstring& kind) const {
    return std::wstring(kProductKey) + kind + L"\\" + name_;
}

std::wstring StoredValues::string(const std::wstring& kind, bool* found) const {
    if (found) *found = false;
    wchar_t data[2048] = {};
    DWORD size = sizeof data - sizeof(wchar_t);
    DWORD type = 0;
    if (RegGetValueW(HKEY_CURRENT_USER, keyOf(kind).c_str(), nullptr, RRF_RT_ANY, &type, data, &size) != ERROR_SUCCESS)
        return {};
    if (found) *found = type == REG_SZ;
    return data;
}

bool StoredValues::dword(const std::wstring& kind, DWORD& value) const {
    DWORD size = sizeof value;
    return RegGetValueW(HKEY_CURRENT_USER, keyOf(kind).c_str(), nullptr, RRF_RT_REG_DWORD, nullptr, &value, &size) ==
           ERROR_SUCCESS;
}

std::string checksumOf(const std::wstring& folder) {
    LogDriver quiet(L"e2e");
    return toAnsi(OrnivelClient(folder, quiet).clientChecksum());
}

void answerVersionCheck(TestDeploymentServer& server, const std::wstring& folder, const std::string& answer,
                        double delaySeconds) {
    HttpAnswer reply = HttpAnswer::ok(answer);
    reply.delay = delaySeconds;
    server.http().route("/check/clientChecksum%3d" + checksumOf(folder), reply);
}

ProcessResult runWithOutput(const std::wstring& exe, const std::wstring& arguments, const std::wstring& workingFolder,
                            const std::wstring& outputPath, DWORD timeoutMs) {
    ProcessResult result;
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    UniqueHandle output(CreateFileW(outputPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!output) return result;
    std::wstring commandLine = L"\"" + exe + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = output.get();
    startup.hStdError = output.get();
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, workingFolder.c_str(),
                        &startup, &info))
        return result;
    UniqueHandle process(info.hProcess);
    CloseHandle(info.hThread);
    result.started = true;
    if (WaitForSingleObject(process.get(), timeoutMs) == WAIT_TIMEOUT) {
        result.timedOut = true;
        TerminateProcess(process.get(), 999);
        WaitForSingleObject(process.get(), 5000);
    }
    GetExitCodeProcess(process.get(), &result.exitCode);
    return result;
}

std::vector<DWORD> processesOf(const std::wstring& exePath) {
    std::vector<DWORD> found;
    UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return found;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
        UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID));
        if (!process) continue;
        wchar_t image[MAX_PATH * 2] = {};
        DWORD size = MAX_PATH * 2;
        if (QueryFullProcessImageNameW(process.get(), 0, image, &size) && lstrcmpiW(image, exePath.c_str()) == 0)
            found.push_back(entry.th32ProcessID);
    }
    return found;
}

ForeignProcess::ForeignProcess(DWORD id)
    : handle_(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id)), id_(id) {}

bool ForeignProcess::waitForExit(DWORD timeoutMs, DWORD& exitCode) {
    if (!handle_ || WaitForSingleObject(handle_.get(), timeoutMs) != WAIT_OBJECT_0) return false;
    return GetExitCodeProcess(handle_.get(), &exitCode) != FALSE;
}


HWND waitForLoginDialog(DWORD processId, DWORD timeoutMs) {
    WindowQuery query;
    query.className = L"#32770";
    query.processId = processId;
    query.controlId = IDC_PROGRESS_BAR;
    query.visibleOnly = false;
    return waitForWindow(query, timeoutMs);
}

bool waitForLoginForm(HWND dialog, DWORD timeoutMs) {
    const bool shown = waitUntil([&] {
        return controlVisible(dialog, IDC_USER_ID) && controlVisible(dialog, IDC_LOGIN_OK) &&
               !controlVisible(dialog, IDC_PLEASE_WAIT) && !controlVisible(dialog, IDC_PROGRESS_BAR);
    }, timeoutMs);
    return shown;  // filled from the stored values before it appears, the progress display gone
}

std::vector<std::wstring> serverListEntries(HWND dialog) {
    HWND list = GetDlgItem(dialog, IDC_SERVER_LIST);
    std::vector<std::wstring> entries;
    const LRESULT count = sendTo(list, CB_GETCOUNT);
    for (LRESULT i = 0; i < count; ++i) {
        const LRESULT length = sendTo(list, CB_GETLBTEXTLEN, static_cast<WPARAM>(i));
        if (length < 0) break;
        std::wstring text(static_cast<size_t>(length) + 1, L'\0');
        sendTo(list, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text.data()));
        text.resize(static_cast<size_t>(length));
        entries.push_back(text);
    }
    return entries;
}

int selectedServer(HWND dialog) { return static_cast<int>(sendTo(GetDlgItem(dialog, IDC_SERVER_LIST), CB_GETCURSEL)); }

void selectServer(HWND dialog, int index) {
    HWND list = GetDlgItem(dialog, IDC_SERVER_LIST);
    sendTo(list, CB_SETCURSEL, static_cast<WPARAM>(index));
    // A selection by the user also notifies the dialog.
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_SERVER_LIST, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
}

bool savePasswordChecked(HWND dialog) {
    return sendTo(GetDlgItem(dialog, IDC_SAVE_PASSWORD), BM_GETCHECK) == BST_CHECKED;
}

void logIn(HWND dialog, const std::wstring& userId, const std::wstring& password, bool savePassword) {
    setControlText(dialog, IDC_USER_ID, userId);
    setControlText(dialog, IDC_PASSWORD, password);
    sendTo(GetDlgItem(dialog, IDC_SAVE_PASSWORD), BM_SETCHECK, savePassword ? BST_CHECKED : BST_UNCHECKED);
    clickButton(dialog, IDC_LOGIN_OK);
}

size_t countOf(const std::string& text, const std::string& needle) {
    size_t count = 0;
    for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + needle.size())) ++count;
    return count;
}

} // namespace ornivel::test::e2e
