// The invocation interface of the stand-in: JNI_CreateJavaVM, JNI_GetDefaultJavaVMInitArgs
// and the JavaVM functions.
#include <cstdio>
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

// The JNI versions HotSpot 17 supports (1.2 to 10; 1.1 no longer).
bool supportedVersion(jint version) {
    for (jint known : {JNI_VERSION_1_2, JNI_VERSION_1_4, JNI_VERSION_1_6, JNI_VERSION_1_8, JNI_VERSION_9, JNI_VERSION_10})
        if (version == known) return true;
    return false;
}

// A heap size option's value in bytes ("512m", "1g", "65536"); -1 when it is no size.
long long heapSize(const std::string& text) {
    size_t digits = 0;
    while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') ++digits;
    if (digits == 0 || digits > 12) return -1;
    long long value = std::stoll(text.substr(0, digits));
    const std::string unit = text.substr(digits);
    if (unit.empty()) return value;
    if (unit.size() != 1) return -1;
    switch (unit[0]) {
    case 'k': case 'K': return value << 10;
    case 'm': case 'M': return value << 20;
    case 'g': case 'G': return value << 30;
    default: return -1;
    }
}

// What HotSpot 17 makes of the heap options: a size it cannot read (or a maximum of 0) makes
// the creation fail with JNI_EINVAL; an initial heap above the maximum ends the whole process
// with status 1 during the creation, without returning.
jint checkHeapOptions(const JavaVMInitArgs& arguments) {
    long long maximum = -1, initial = -1;
    for (jint i = 0; i < arguments.nOptions; ++i) {
        const std::string option = arguments.options[i].optionString ? arguments.options[i].optionString : "";
        const bool isMaximum = option.rfind("-Xmx", 0) == 0, isInitial = option.rfind("-Xms", 0) == 0;
        if (!isMaximum && !isInitial) continue;
        const long long size = heapSize(option.substr(4));
        if (size < 0 || (isMaximum && size == 0)) {
            std::fprintf(stderr, "Invalid %s heap size: %s\n", isMaximum ? "maximum" : "initial", option.c_str());
            return JNI_EINVAL;
        }
        (isMaximum ? maximum : initial) = size;
    }
    if (maximum >= 0 && initial > maximum) {
        record({"create-exit", "1"});
        std::fprintf(stderr, "Error occurred during initialization of VM\n"
                             "Initial heap size set to a larger value than the maximum heap size\n");
        std::fflush(stderr);
        ExitProcess(1);
    }
    return JNI_OK;
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
    return initArgs && supportedVersion(initArgs->version) ? JNI_OK : JNI_ERR;
}

JNIEXPORT jint JNICALL JNI_CreateJavaVM(JavaVM** pvm, void** penv, void* arguments) {
    recordCallTime();
    loadScenario();
    const auto* initArgs = static_cast<const JavaVMInitArgs*>(arguments);
    recordOptions(*initArgs);
    recordEnvironment("versionString");
    recordEnvironment("PATH");
    jint result = scenario().createResult;
    // Like HotSpot: one VM per process; none at all after a destroyed one.
    if (result == 0 && created) result = destroyed ? JNI_ERR : JNI_EEXIST;
    if (result == 0 && !supportedVersion(initArgs->version)) result = JNI_EVERSION;
    if (result == 0) result = checkHeapOptions(*initArgs);
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
