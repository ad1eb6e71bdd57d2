#pragma once
// The Java main thread: creates the VM, runs the client's main method, then serves calls
// of static methods of the main class posted by other threads through a one-slot mailbox.
#include <atomic>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "common/Event.h"
#include "common/Lock.h"
#include "common/Thread.h"
#include "logdriver/LogDriver.h"

namespace ornivel {

class JObject;
class JavaVirtualMachine;

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

    // Calls from any thread after start(); each blocks until the Java main thread has
    // answered. A request posted while main still runs is answered after main returns.
    // When the thread was never started, has accepted "quit" or has ended (no VM could be
    // created), the answer is the empty text at once.
    std::wstring callStaticMethod(const std::wstring& method, const std::string& signature,
                                  const std::vector<JObject*>& arguments);
    std::wstring callStaticStringMethod(const std::wstring& method);
    // Tells the Java main thread to destroy the VM and end; returns once it has accepted.
    void postQuit();
    // Whether calls can still be answered: false once "quit" was accepted or the Java main
    // thread has ended (for instance because no VM could be created).
    bool answering() const { return !closed_; }

protected:
    uint32_t run() override;

private:
    void runMain();
    void serveRequests();
    void markEnded();

    LogDriver log_;
    Event requestEvent_{Event::Reset::Automatic};
    Event replyEvent_{Event::Reset::Automatic};
    // Set when the Java main thread ends, so that no caller waits for ever.
    Event endedEvent_{Event::Reset::Manual};
    std::wstring commandSlot_;
    std::string signature_;
    std::vector<JObject*> callArguments_;
    std::wstring classPath_;
    std::wstring mainClass_;
    std::vector<std::wstring> arguments_;
    std::map<std::wstring, std::wstring> systemProperties_;
    std::vector<std::wstring> jvmOptions_;
    std::unique_ptr<JavaVirtualMachine> vm_;
    int heapSizeMb_ = 0;
    Lock lock_;
    // Set once "quit" has been accepted or the thread has ended; read under the lock.
    std::atomic<bool> closed_{false};
};

} // namespace ornivel
