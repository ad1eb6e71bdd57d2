#include "jvm/ThreadStartVM.h"

namespace ornivel {

// Placeholder until the VM host lands: the thread logs its start and ends; calls answer
// with the empty text.
ThreadStartVM::ThreadStartVM() : Thread(THREAD_PRIORITY_ABOVE_NORMAL) {}
ThreadStartVM::~ThreadStartVM() { waitForEnd(INFINITE); }

void ThreadStartVM::setSystemProperty(const std::wstring& name, const std::wstring& value) {
    systemProperties_[name] = value;
}
void ThreadStartVM::addJvmOption(const std::wstring& option) { jvmOptions_.push_back(option); }
void ThreadStartVM::setHeapSizeMb(int megabytes) { heapSizeMb_ = megabytes; }
void ThreadStartVM::setClassPath(const std::wstring& classPath) { classPath_ = classPath; }
void ThreadStartVM::setLogDriver(const LogDriver& driver) { log_ = driver; }
void ThreadStartVM::setMainClass(const std::wstring& dottedName) { mainClass_ = dottedName; }
void ThreadStartVM::addArgument(const std::wstring& argument) { arguments_.push_back(argument); }

std::wstring ThreadStartVM::callStaticMethod(const std::wstring&, const std::string&, const std::vector<JObject*>&) {
    return {};
}
std::wstring ThreadStartVM::callStaticStringMethod(const std::wstring& method) {
    return callStaticMethod(method, "()Ljava/lang/String;", {});
}
void ThreadStartVM::postQuit() { callStaticStringMethod(L"quit"); }

DWORD ThreadStartVM::run() {
    log_.log(LOG_INFO, L"ThreadStartVM");
    return 0;
}

} // namespace ornivel
