#pragma once
// The Java main thread: creates the VM, runs the client's main method, then serves calls
// of static methods of the main class posted by other threads through a one-slot mailbox.
#include <map>
#include <string>
#include <vector>

#include "jvm/Thread.h"
#include "logdriver/LogDriver.h"

namespace ornivel {

class JObject;

class ThreadStartVM : public Thread {
public:
    ThreadStartVM();
    ~ThreadStartVM() override;

    // Configuration, before start().
    void setSystemProperty(const std::wstring& name, const std::wstring& value);
    void addJvmOption(const std::wstring& option);
    void setHeapSizeMb(int megabytes);
    void setClassPath(const std::wstring& classPath);
    void setLogDriver(const LogDriver& driver);
    void setMainClass(const std::wstring& dottedName);
    void addArgument(const std::wstring& argument);

    const std::map<std::wstring, std::wstring>& systemProperties() const { return systemProperties_; }
    const std::vector<std::wstring>& jvmOptions() const { return jvmOptions_; }
    const std::vector<std::wstring>& arguments() const { return arguments_; }
    const std::wstring& classPath() const { return classPath_; }
    const std::wstring& mainClass() const { return mainClass_; }
    int heapSizeMb() const { return heapSizeMb_; }

    // Calls from any thread after start(); each blocks until the Java main thread answered.
    std::wstring callStaticMethod(const std::wstring& method, const std::string& signature,
                                  const std::vector<JObject*>& arguments);
    std::wstring callStaticStringMethod(const std::wstring& method);
    void postQuit();

protected:
    DWORD run() override;

private:
    LogDriver log_;
    std::wstring classPath_;
    std::wstring mainClass_;
    std::vector<std::wstring> arguments_;
    std::map<std::wstring, std::wstring> systemProperties_;
    std::vector<std::wstring> jvmOptions_;
    int heapSizeMb_ = 0;
};

} // namespace ornivel
