// The invocation interface of the stand-in: JNI_CreateJavaVM, JNI_GetDefaultJavaVMInitArgs
// and the JavaVM functions.
#include <fstream>
#include <sstream>

#include "Standin.h"

namespace ornivel::test::standin {

namespace {

CRITICAL_SECTION threadLock;
std::vector<HANDLE> nonDaemonThreads;
Scenario current;
bool created = false;
bool destroyed = false;

std::string environmentValue(const char* name, bool& present) {
    char buffer[32768];
    DWORD length = GetEnvironmentVariableA(name, buffer, sizeof buffer);
    present = length > 0 && length < sizeof buffer;
    return present ? std::string(buffer, length) : std::string();
}

void recordEnvironment(const char* name) {
    bool present = false;
    std::string value = environmentValue(name, present);
    if (present) record({"env", name, value});
    else record({"env-unset", name});
}

// When the creation was asked for: microseconds since 1970 (start-up benchmarks).
void recordCallTime() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const unsigned long long ticks = (static_cast<unsigned long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    record({"create-called", std::to_string((ticks - 116444736000000000ull) / 10)});
}

void recordOptions(const JavaVMInitArgs& arguments) {
    char version[16];
    snprintf(version, sizeof version, "0x%08lX", static_cast<unsigned long>(arguments.version));
    record({"create-args", version, std::to_string(arguments.nOptions),
            arguments.ignoreUnrecognized ? "ignoreUnrecognized" : "strict"});
    for (jint i = 0; i < arguments.nOptions; ++i) {
        const char* text = arguments.options[i].optionString;
        std::string option = text ? text : "(null)";
        record({"option", option});
        if (arguments.options[i].extraInfo) recordError("option with extraInfo: " + option);
        if (option.rfind("-D", 0) == 0) {
            size_t equals = option.find('=');
            std::string name = option.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
            std::string value = equals == std::string::npos ? "" : option.substr(equals + 1);
            record({"property", name, value});
        }
    }
}

jint JNICALL DestroyJavaVM(JavaVM*) {
    record({"destroy-begin"});
    waitForNonDaemonThreads();
    record({"localrefs", std::to_string(liveLocalReferences())});
    record({"utfchars", std::to_string(unreleasedUtfChars())});
    destroyed = true;
    record({"destroy-end"});
    return JNI_OK;
}

jint JNICALL AttachCurrentThread(JavaVM*, void** penv, void*) {
    allowThread(GetCurrentThreadId());
    record({"attach", std::to_string(GetCurrentThreadId())});
    *penv = theEnv();
    return JNI_OK;
}

jint JNICALL DetachCurrentThread(JavaVM*) {
    record({"detach"});
    return JNI_OK;
}

jint JNICALL GetEnv(JavaVM*, void** penv, jint) {
    *penv = theEnv();
    return JNI_OK;
}

JNIInvokeInterface_ invokeTable{nullptr, nullptr, nullptr, DestroyJavaVM, AttachCurrentThread,
                                DetachCurrentThread, GetEnv, AttachCurrentThread};
JavaVM_ vm{&invokeTable};

} // namespace

const Scenario& scenario() { return current; }

void loadScenario() {
    std::ifstream in(kScenarioFile, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    current = Scenario::parse(text.str());
}

void startNonDaemonThread(LPTHREAD_START_ROUTINE body, void* parameter) {
    HANDLE thread = CreateThread(nullptr, 0, body, parameter, 0, nullptr);
    EnterCriticalSection(&threadLock);
    nonDaemonThreads.push_back(thread);
    LeaveCriticalSection(&threadLock);
}

void waitForNonDaemonThreads() {
    // Threads may start further threads: wait until a round finds no new one.
    size_t waited = 0;
    for (;;) {
        EnterCriticalSection(&threadLock);
        std::vector<HANDLE> pending(nonDaemonThreads.begin() + waited, nonDaemonThreads.end());
        LeaveCriticalSection(&threadLock);
        if (pending.empty()) return;
        for (HANDLE thread : pending) WaitForSingleObject(thread, INFINITE);
        waited += pending.size();
    }
}

JavaVM* theVm() { return &vm; }

} // namespace ornivel::test::standin

using namespace ornivel::test::standin;

extern "C" {

JNIEXPORT jint JNICALL JNI_GetDefaultJavaVMInitArgs(void* arguments) {
    auto* initArgs = static_cast<JavaVMInitArgs*>(arguments);
    record({"default-init-args", std::to_string(initArgs ? initArgs->nOptions : -1)});
    return JNI_OK;
}

JNIEXPORT jint JNICALL JNI_CreateJavaVM(JavaVM** pvm, void** penv, void* arguments) {
    recordCallTime();
    loadScenario();
    const auto* initArgs = static_cast<const JavaVMInitArgs*>(arguments);
    recordOptions(*initArgs);
    recordEnvironment("versionString");
    recordEnvironment("PATH");
    jint result = scenario().createResult;
    if (result == 0 && created) result = JNI_EEXIST;
    if (result == 0 && initArgs->version > JNI_VERSION_10) result = JNI_EVERSION;
    record({"create-result", std::to_string(result)});
    if (result != JNI_OK) return result;
    created = true;
    allowThread(GetCurrentThreadId());
    *pvm = theVm();
    *penv = theEnv();
    return JNI_OK;
}

JNIEXPORT jint JNICALL JNI_GetCreatedJavaVMs(JavaVM** vms, jsize size, jsize* count) {
    bool live = created && !destroyed;
    if (count) *count = live ? 1 : 0;
    if (live && size > 0 && vms) vms[0] = theVm();
    return JNI_OK;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        InitializeCriticalSection(&ornivel::test::standin::threadLock);
        registerClientClasses();
        char path[MAX_PATH] = "";
        GetModuleFileNameA(instance, path, MAX_PATH);
        record({"load", path});
    }
    return TRUE;
}

} // extern "C"
