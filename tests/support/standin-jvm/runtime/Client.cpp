// The stand-in Java client: the three main classes with the static methods the launcher
// calls, and the client's work on non-daemon threads.
#include <atomic>
#include <cstdio>

#include "Standin.h"

namespace ornivel::test::standin {

namespace {

const char* const kStandard = "de/torbenwald/zolp/launcher/Launcher";
const char* const kFieldService = "de/torbenwald/zolp/adm/Adm";
const char* const kSibling = "de/torbenwald/fennarix/client/Launcher";

CRITICAL_SECTION outcomeLock;
std::optional<std::string> outcome;  // the getError text; none until the attempt's outcome is known

void setOutcome(const std::optional<std::string>& text) {
    EnterCriticalSection(&outcomeLock);
    outcome = text;
    LeaveCriticalSection(&outcomeLock);
}

std::string text(jobject reference) {
    auto* o = reinterpret_cast<Obj*>(reference);
    return o && o->kind == Obj::String ? utf8(o->chars) : std::string();
}

jvalue object(Obj* o) {
    jvalue v{};
    v.l = reinterpret_cast<jobject>(o);
    return v;
}

jvalue stringValue(const std::string& utf8Text) {
    int length = MultiByteToWideChar(CP_UTF8, 0, utf8Text.data(), static_cast<int>(utf8Text.size()), nullptr, 0);
    std::wstring wide(length > 0 ? length : 0, L'\0');
    if (length > 0)
        MultiByteToWideChar(CP_UTF8, 0, utf8Text.data(), static_cast<int>(utf8Text.size()), wide.data(), length);
    return object(newString(std::u16string(wide.begin(), wide.end())));
}

// --- the client's window ---------------------------------------------------------------
LRESULT CALLBACK clientWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_TIMER: DestroyWindow(window); return 0;
    case WM_PAINT: {
        // A visible sign for a person watching (the demo): the client is up.
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        RECT area;
        GetClientRect(window, &area);
        InflateRect(&area, -16, -16);
        SetBkMode(dc, TRANSPARENT);
        DrawTextW(dc, L"ornivel client (stand-in)\n\nThe Java client runs: the login was handed over.\n"
                      L"Close this window to end the client and the launcher.",
                  -1, &area, DT_LEFT | DT_WORDBREAK);
        EndPaint(window, &paint);
        return 0;
    }
    case WM_DESTROY: PostQuitMessage(0); return 0;
    default: return DefWindowProcW(window, message, wParam, lParam);
    }
}

// Shows the client's top-level window until it is closed or client-ms have passed.
void showClientWindow() {
    static ATOM windowClass = 0;
    HINSTANCE module = GetModuleHandleW(nullptr);
    HICON icon = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
    if (!windowClass) {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = clientWindowProc;
        wc.hInstance = module;
        wc.hIcon = icon;
        wc.hIconSm = icon;
        wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        wc.lpszClassName = L"OrnivelStandinClient";
        windowClass = RegisterClassExW(&wc);
    }
    HWND window = CreateWindowExA(0, "OrnivelStandinClient", kWindowTitle, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100,
                                  400, 200, nullptr, nullptr, module, nullptr);
    if (!window) {
        recordError("the client window could not be created");
        Sleep(scenario().clientMs);
        return;
    }
    SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    char handle[32];
    snprintf(handle, sizeof handle, "%p", static_cast<void*>(window));
    record({"window-shown", handle});
    SetTimer(window, 1, scenario().clientMs > 0 ? scenario().clientMs : 1, nullptr);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    record({"window-closed"});
}

void clientWork() {
    if (scenario().window) showClientWindow();
    else Sleep(scenario().clientMs);
}

struct ClientStart {
    std::string className;
    std::vector<std::string> arguments;
};

bool fileExists(const char* name) { return GetFileAttributesA(name) != INVALID_FILE_ATTRIBUTES; }

std::string readWholeFile(const char* name) {
    std::string bytes;
    HANDLE file = CreateFileA(name, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return bytes;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
    CloseHandle(file);
    return bytes;
}

std::string hex(const std::string& bytes) {
    std::string out;
    char two[3];
    for (unsigned char b : bytes) {
        snprintf(two, sizeof two, "%02x", b);
        out += two;
    }
    return out;
}

// The standard client: waits ("-hold") for each login record, reads and removes it, and
// reports the scenario's outcome for the attempt through getError.
void standardClient(const ClientStart& start) {
    if (start.arguments.size() != 2 || start.arguments[0] != "-hold") {
        recordError("the standard client was not started with -hold and a file name");
        return;
    }
    const char* recordFile = start.arguments[1].c_str();
    for (size_t attempt = 0;; ++attempt) {
        // The launcher writes the file whole and closes it before it polls.
        while (!fileExists(recordFile)) Sleep(20);
        Sleep(20);
        std::string bytes = readWholeFile(recordFile);
        DeleteFileA(recordFile);
        record({"login-record", hex(bytes)});
        bool present = false;
        char value[64];
        DWORD length = GetEnvironmentVariableA("loginTime", value, sizeof value);
        present = length > 0 && length < sizeof value;
        if (present) record({"env", "loginTime", std::string(value, length)});
        else record({"env-unset", "loginTime"});

        const auto& outcomes = scenario().outcomes;
        const std::string planned = outcomes[attempt < outcomes.size() ? attempt : outcomes.size() - 1];
        Sleep(scenario().outcomeDelayMs);
        if (planned == "never") {
            record({"outcome", "(never)"});
            return;
        }
        const std::string reported = outcomeText(planned);
        record({"outcome", reported});
        setOutcome(reported);
        if (reported.find("IOException") != std::string::npos ||
            reported.find("WrongUserOrPasswordException") != std::string::npos)
            continue;
        clientWork();
        return;
    }
}

DWORD WINAPI clientThread(void* parameter) {
    auto* start = static_cast<ClientStart*>(parameter);
    record({"client-start", start->className});
    if (start->className == kStandard) standardClient(*start);
    else clientWork();
    record({"client-end", start->className});
    delete start;
    return 0;
}

// --- static methods ----------------------------------------------------------------------
jvalue mainMethod(const std::string& className, const std::vector<jvalue>& arguments) {
    auto* array = reinterpret_cast<Obj*>(arguments[0].l);
    auto* start = new ClientStart{className, {}};
    std::vector<std::string> fields{"main", className};
    if (!array) {
        recordError("main given a null array");
    } else {
        fields.push_back(std::to_string(array->elements.size()));
        for (Obj* element : array->elements) {
            std::string argument = element && element->kind == Obj::String ? utf8(element->chars) : "(null)";
            start->arguments.push_back(argument);
            fields.push_back(argument);
        }
    }
    record(fields);
    if (scenario().mainMs > 0) Sleep(scenario().mainMs);
    startNonDaemonThread(clientThread, start);
    record({"main-return", className});
    return jvalue{};
}

jvalue getError(const std::string&, const std::vector<jvalue>&) {
    EnterCriticalSection(&outcomeLock);
    std::optional<std::string> current = outcome;
    LeaveCriticalSection(&outcomeLock);
    if (current) return stringValue(*current);
    return scenario().pendingNull ? jvalue{} : stringValue("");
}

jvalue resetError(const std::string&, const std::vector<jvalue>&) {
    setOutcome(std::nullopt);
    return jvalue{};
}

jvalue resetPW(const std::string&, const std::vector<jvalue>&) {
    jvalue v{};
    v.z = scenario().resetPw ? JNI_TRUE : JNI_FALSE;
    return v;
}

// Helpers for the tests of the calling side.
jvalue returnNull(const std::string&, const std::vector<jvalue>&) { return jvalue{}; }
jvalue echo(const std::string&, const std::vector<jvalue>& a) {
    auto* o = reinterpret_cast<Obj*>(a[0].l);
    return object(o ? newString(o->chars) : nullptr);
}
jvalue joinSix(const std::string&, const std::vector<jvalue>& a) {
    std::string joined;
    for (const jvalue& v : a) joined += (joined.empty() ? "" : ",") + std::to_string(static_cast<long>(v.i));
    return stringValue(joined);
}
jvalue describe(const std::string&, const std::vector<jvalue>& a) {
    return stringValue(text(a[0].l) + ":" + std::to_string(static_cast<long>(a[1].i)) + ":" + text(a[2].l));
}
jvalue integerObject(const std::string&, const std::vector<jvalue>&) {
    Obj* i = newObject(Obj::Integer, "java/lang/Integer");
    i->value = 42;
    return object(i);
}
jvalue throwing(const std::string&, const std::vector<jvalue>&) {
    throwNew("java/lang/RuntimeException", "thrown by the stand-in");
    return jvalue{};
}
jvalue slow(const std::string&, const std::vector<jvalue>&) {
    Sleep(scenario().slowMs);
    return stringValue("slow done");
}
jvalue count(const std::string&, const std::vector<jvalue>&) {
    static std::atomic<int> calls{0};
    jvalue v{};
    v.i = ++calls;
    return v;
}

} // namespace

std::optional<std::string> loginOutcome() {
    EnterCriticalSection(&outcomeLock);
    std::optional<std::string> current = outcome;
    LeaveCriticalSection(&outcomeLock);
    return current;
}

void registerClientClasses() {
    InitializeCriticalSection(&outcomeLock);
    for (const char* c : {kStandard, kFieldService, kSibling}) {
        addMethod({c, "main", "([Ljava/lang/String;)V", mainMethod});
        addMethod({c, "getError", "()Ljava/lang/String;", getError});
        addMethod({c, "resetError", "()Ljava/lang/String;", resetError});
        addMethod({c, "resetPW", "(Ljava/lang/String;ILjava/lang/String;)Z", resetPW});
        addMethod({c, "returnNull", "()Ljava/lang/String;", returnNull});
        addMethod({c, "echo", "(Ljava/lang/String;)Ljava/lang/String;", echo});
        addMethod({c, "joinSix", "(IIIIII)Ljava/lang/String;", joinSix});
        addMethod({c, "describe", "(Ljava/lang/String;ILjava/lang/String;)Ljava/lang/String;", describe});
        addMethod({c, "integerObject", "()Ljava/lang/Object;", integerObject});
        addMethod({c, "throwing", "()Ljava/lang/String;", throwing});
        addMethod({c, "slow", "()Ljava/lang/String;", slow});
        addMethod({c, "count", "()I", count});
    }
}

} // namespace ornivel::test::standin
