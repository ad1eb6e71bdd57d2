#include "jvm/JavaMainThread.h"

#include "jvm/JavaVirtualMachine.h"

namespace ornivel {

namespace {

const wchar_t* const kMainCommand = L"main";
const wchar_t* const kQuitCommand = L"quit";

} // namespace

ThreadStartVM::ThreadStartVM() : Thread(kPriorityAboveNormal) {}

ThreadStartVM::~ThreadStartVM() { waitForEnd(kWaitForever); }

void ThreadStartVM::setSystemProperty(const std::wstring& name, const std::wstring& value) {
    systemProperties_[name] = value;
}
void ThreadStartVM::addJvmOption(const std::wstring& option) { jvmOptions_.push_back(option); }
void ThreadStartVM::setHeapSizeMb(int megabytes) { heapSizeMb_ = megabytes; }
void ThreadStartVM::setClassPath(const std::wstring& classPath) { classPath_ = classPath; }
void ThreadStartVM::setLogDriver(const LogDriver& driver) { log_ = driver; }
void ThreadStartVM::setMainClass(const std::wstring& dottedName) { mainClass_ = dottedName; }
void ThreadStartVM::addArgument(const std::wstring& argument) { arguments_.push_back(argument); }

std::wstring ThreadStartVM::callStaticMethod(const std::wstring& method, const std::string& signature,
                                             const std::vector<JObject*>& arguments) {
    LockGuard guard(lock_);
    if (!started() || closed_) return {};
    commandSlot_ = method;
    signature_ = signature;
    callArguments_ = arguments;
    requestEvent_.set();
    if (Event::waitForEither(replyEvent_, endedEvent_) != 0) return {};
    return commandSlot_;
}

std::wstring ThreadStartVM::callStaticStringMethod(const std::wstring& method) {
    return callStaticMethod(method, "()Ljava/lang/String;", {});
}

void ThreadStartVM::postQuit() { callStaticStringMethod(kQuitCommand); }

void ThreadStartVM::markEnded() {
    closed_ = true;
    endedEvent_.set();
}

uint32_t ThreadStartVM::run() {
    // However the thread ends, a caller waiting for an answer is released.
    struct EndMark {
        ThreadStartVM& self;
        ~EndMark() { self.markEnded(); }
    } endMark{*this};

    log_.log(LOG_INFO, L"ThreadStartVM");
    vm_ = std::make_unique<JavaVirtualMachine>(classPath_, log_, heapSizeMb_, jvmOptions_, systemProperties_);
    log_.log(LOG_INFO, L"ThreadStartVM 2");
    if (!vm_->running()) {
        log_.log(LOG_WARNING, L"ThreadStartVM: no Java VM, the Java main thread ends.");
        vm_.reset();
        return 0;
    }
    // main runs before any request is taken; requests posted meanwhile stay pending.
    runMain();
    serveRequests();
    return 0;
}

void ThreadStartVM::runMain() {
    log_.log(LOG_INFO, L"ThreadStartVM methode main");
    vm_->attachCurrentThread();
    log_.log(LOG_INFO, L"ThreadStartVM AttachToCurrentThread");
    vm_->callMain(mainClass_, std::vector<std::wstring>(arguments_));
    log_.log(LOG_INFO, L"ThreadStartVM CallMainMethod");
}

void ThreadStartVM::serveRequests() {
    for (;;) {
        requestEvent_.wait();
        if (commandSlot_ == kQuitCommand) {
            closed_ = true;
            replyEvent_.set();
            // Returns when every non-daemon Java thread has ended.
            vm_.reset();
            return;
        }
        if (commandSlot_ == kMainCommand) {
            runMain();
            // A caller is waiting: it gets the empty text once main has returned.
            commandSlot_.clear();
        } else {
            commandSlot_ = vm_->callStaticMethod(mainClass_, commandSlot_, signature_, callArguments_);
        }
        replyEvent_.set();
    }
}

} // namespace ornivel
