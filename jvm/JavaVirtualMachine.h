#pragma once
// The one Java virtual machine of the process: loaded from jvm.dll (libjvm.so in the native
// build), created through the JNI Invocation API and destroyed again. Created, used and
// deleted on the Java main thread only.
#include <jni.h>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "logdriver/LogDriver.h"

namespace ornivel {

class JObject;

class JavaVirtualMachine {
public:
    // Loads and creates the VM. Completes without a VM (running() false) when no runtime is
    // found or it cannot be loaded; a negative JNI_CreateJavaVM result ends the process
    // through raiseJvmCreationFailure (JvmCreationFailure.h).
    JavaVirtualMachine(const std::wstring& classPath, const LogDriver& log, int heapSizeMb,
                       const std::vector<std::wstring>& jvmOptions,
                       const std::map<std::wstring, std::wstring>& systemProperties);
    // Destroys the VM, which returns only when every non-daemon Java thread has ended.
    virtual ~JavaVirtualMachine();

    JavaVirtualMachine(const JavaVirtualMachine&) = delete;
    JavaVirtualMachine& operator=(const JavaVirtualMachine&) = delete;

    bool running() const { return vm_ != nullptr; }
    void attachCurrentThread();

    // Runs the static main(String[]) of the class; returns when main returns.
    void callMain(const std::wstring& mainClass, const std::vector<std::wstring>& arguments);
    // Runs a static method and gives its result as text: a String result's characters, or
    // "true"/"false" for a boolean; the empty text for anything else and after any failure
    // (missing class or method, a Java exception), which is logged and cleared.
    std::wstring callStaticMethod(const std::wstring& className, const std::wstring& methodName,
                                  const std::string& signature, const std::vector<JObject*>& arguments);

private:
    bool createVm(const std::wstring& classPath, const std::vector<std::wstring>& jvmOptions,
                  const std::map<std::wstring, std::wstring>& systemProperties);
    // True (and the exception cleared) when the last JNI call left a Java exception pending.
    bool failed(const wchar_t* what, const std::wstring& subject);
    std::wstring stringResult(jobject result);

    LogDriver log_;
    JNIEnv* env_ = nullptr;
    JavaVM* vm_ = nullptr;
    int heapSizeMb_;
    // Failures of repeated calls (the login poll) are logged once each.
    std::set<std::wstring> reported_;
};

} // namespace ornivel
