// The debugger texts here ("Hello,JVM", "VM CALLING!!", "dsfsd"...) are deliberate and fixed:
// support staff watch for them word for word with a debug viewer.
#include "jvm/JavaVirtualMachine.h"

#include "common/DebugOutput.h"
#include "common/SharedLibrary.h"
#include "common/Text.h"
#include "jvm/JObject.h"
#include "jvm/JniSignature.h"
#include "jvm/JvmCreationFailure.h"
#include "jvm/JvmDiscovery.h"
#include "jvm/JvmOptions.h"
#include "jvm/ModifiedUtf8.h"

namespace ornivel {

namespace {

using CreateJavaVM = jint(JNICALL*)(JavaVM**, void**, void*);
using GetDefaultJavaVMInitArgs = jint(JNICALL*)(void*);

// Local references made while it lives are released when it ends.
class LocalFrame {
public:
    LocalFrame(JNIEnv* env, jint capacity) : env_(env), pushed_(env->PushLocalFrame(capacity) == 0) {
        if (!pushed_) env_->ExceptionClear();
    }
    ~LocalFrame() {
        if (pushed_) env_->PopLocalFrame(nullptr);
    }
    LocalFrame(const LocalFrame&) = delete;
    LocalFrame& operator=(const LocalFrame&) = delete;

private:
    JNIEnv* env_;
    bool pushed_;
};

std::string jniText(const std::wstring& text) { return toModifiedUtf8(text); }

} // namespace

JavaVirtualMachine::JavaVirtualMachine(const std::wstring& classPath, const LogDriver& log, int heapSizeMb,
                                       const std::vector<std::wstring>& jvmOptions,
                                       const std::map<std::wstring, std::wstring>& systemProperties)
    : log_(log), heapSizeMb_(heapSizeMb) {
    prepareRuntimeLibraries(currentFolder());
    createVm(classPath, jvmOptions, systemProperties);
}

JavaVirtualMachine::~JavaVirtualMachine() {
    if (vm_) {
        vm_->DestroyJavaVM();
        debugOutput(L"VM DESTROYED !!");
        vm_ = nullptr;
        env_ = nullptr;
    }
    log_.end();
}

bool JavaVirtualMachine::createVm(const std::wstring& classPath, const std::vector<std::wstring>& jvmOptions,
                                  const std::map<std::wstring, std::wstring>& systemProperties) {
    log_.log(LOG_DEBUG, L"runVMDll");
    const std::wstring path = findJvmLibrary(currentFolder());
    if (path.empty()) {
        log_.log(LOG_ERROR, L"Could not find JVM, exiting...");
        return false;
    }
    log_.log(LOG_INFO, L"Using JVM Path: \"%s\"", path.c_str());
    log_.log(LOG_DEBUG, L"_classpath = %s", classPath.c_str());
    log_.log(LOG_DEBUG, L"classpath = %hs", toAnsi(classPath).c_str());

    // The runtime takes its own home folder from the path it was loaded by, read in the ANSI
    // code page: loaded by a path that code page cannot write, it would look for its classes
    // in another folder.
    const std::wstring loadPath = javaReadablePath(path);
    if (loadPath.empty()) {
        log_.log(LOG_FATAL,
                 L"The Java runtime %s cannot be started: its path cannot be written in the system's code page "
                 L"and has no short form.",
                 path.c_str());
        return false;
    }
    // The runtime stays loaded until the process ends: it cannot be unloaded safely.
    uint32_t error = 0;
    LibraryHandle library = loadLibrary(loadPath, &error);
    if (!library) {
        log_.log(LOG_FATAL, L"JVM Lib %s could not be loaded, Errorcode = %08x", path.c_str(), error);
        return false;
    }

    const std::vector<std::wstring> wideOptions = buildJvmOptions(classPath, heapSizeMb_, jvmOptions, systemProperties);
    std::vector<std::string> optionTexts;
    optionTexts.reserve(wideOptions.size());
    for (const auto& option : wideOptions) {
        optionTexts.emplace_back();
        if (!javaOptionText(option, optionTexts.back()))
            log_.log(LOG_WARNING, L"The JVM option %s cannot be written in the system's code page; the runtime reads "
                                  L"\"?\" for the characters it lacks.", option.c_str());
    }
    std::vector<JavaVMOption> options(optionTexts.size());
    for (size_t i = 0; i < optionTexts.size(); ++i) {
        options[i].optionString = optionTexts[i].data();
        options[i].extraInfo = nullptr;
    }
    JavaVMInitArgs arguments{};
    arguments.version = JNI_VERSION_10;
    arguments.nOptions = static_cast<jint>(options.size());
    arguments.options = options.data();
    arguments.ignoreUnrecognized = JNI_TRUE;

    auto create = reinterpret_cast<CreateJavaVM>(libraryEntry(library, "JNI_CreateJavaVM"));
    auto defaults = reinterpret_cast<GetDefaultJavaVMInitArgs>(libraryEntry(library, "JNI_GetDefaultJavaVMInitArgs"));
    if (!create || !defaults) {
        log_.log(LOG_FATAL, L"Could not find entry points!");
        return false;
    }
    jint result = defaults(&arguments);
    log_.log(LOG_DEBUG, L"JNI_GetDefaultJavaVMInitArgs returned %d", static_cast<int>(result));
    for (const auto& option : wideOptions) debugOutput(option);

    result = create(&vm_, reinterpret_cast<void**>(&env_), &arguments);
    log_.log(LOG_DEBUG, L"JNI_CreateJavaVM returned %d", static_cast<int>(result));
    if (result < 0) {
        vm_ = nullptr;
        env_ = nullptr;
        debugOutput(L"Sorry,JVM is not set up!\n");
        raiseJvmCreationFailure(static_cast<int>(result));
        return false;
    }
    debugOutput(L"Hello,JVM\n");
    return true;
}

void JavaVirtualMachine::attachCurrentThread() {
    if (vm_) vm_->AttachCurrentThread(reinterpret_cast<void**>(&env_), nullptr);
}

bool JavaVirtualMachine::failed(const wchar_t* what, const std::wstring& subject) {
    if (!env_->ExceptionCheck()) return false;
    env_->ExceptionClear();
    std::wstring key = std::wstring(what) + L" " + subject;
    if (reported_.insert(key).second) log_.log(LOG_WARNING, L"Java: %s %s failed with an exception.", what, subject.c_str());
    return true;
}

void JavaVirtualMachine::callMain(const std::wstring& mainClass, const std::vector<std::wstring>& arguments) {
    if (!env_) return;
    LocalFrame frame(env_, static_cast<jint>(16 + arguments.size()));
    const std::wstring className = jniClassName(mainClass);
    jclass mainType = env_->FindClass(jniText(className).c_str());
    if (failed(L"FindClass", className) || !mainType) {
        log_.log(LOG_ERROR, L"Main class %s not found.", mainClass.c_str());
        return;
    }
    jmethodID main = env_->GetStaticMethodID(mainType, "main", "([Ljava/lang/String;)V");
    if (failed(L"GetStaticMethodID main of", className) || !main) {
        log_.log(LOG_ERROR, L"Main class %s has no main method.", mainClass.c_str());
        return;
    }
    jclass stringType = env_->FindClass("java/lang/String");
    if (failed(L"FindClass", L"java/lang/String") || !stringType) return;
    jobjectArray array = env_->NewObjectArray(static_cast<jsize>(arguments.size()), stringType, nullptr);
    if (failed(L"NewObjectArray", L"for main") || !array) return;
    for (size_t i = 0; i < arguments.size(); ++i) {
        jstring argument = env_->NewStringUTF(jniText(arguments[i]).c_str());
        if (failed(L"NewStringUTF", arguments[i])) return;
        env_->SetObjectArrayElement(array, static_cast<jsize>(i), argument);
        env_->DeleteLocalRef(argument);
    }
    debugOutput(L"VM CALLING!!");
    env_->CallStaticVoidMethod(mainType, main, array);
    debugOutput(L"VM CALLED !!");
    if (env_->ExceptionCheck()) {
        env_->ExceptionDescribe();
        env_->ExceptionClear();
        log_.log(LOG_ERROR, L"The main method of %s ended with an exception.", mainClass.c_str());
    }
}

std::wstring JavaVirtualMachine::stringResult(jobject result) {
    if (!result) return {};
    jclass stringType = env_->FindClass("java/lang/String");
    if (failed(L"FindClass", L"java/lang/String") || !stringType) return {};
    if (!env_->IsInstanceOf(result, stringType)) return {};
    const char* chars = env_->GetStringUTFChars(static_cast<jstring>(result), nullptr);
    if (failed(L"GetStringUTFChars", L"of a result") || !chars) return {};
    std::wstring text = fromModifiedUtf8(chars);
    env_->ReleaseStringUTFChars(static_cast<jstring>(result), chars);
    return text;
}

std::wstring JavaVirtualMachine::callStaticMethod(const std::wstring& className, const std::wstring& methodName,
                                                  const std::string& signature,
                                                  const std::vector<JObject*>& arguments) {
    if (!env_) return {};
    const int parameters = jniParameterCount(signature);
    const std::wstring subject = jniClassName(className) + L"." + methodName + fromAnsi(signature);
    if (parameters < 0 || static_cast<size_t>(parameters) != arguments.size()) {
        if (reported_.insert(L"arguments " + subject).second)
            log_.log(LOG_WARNING, L"Java: %s is not called with %d arguments.", subject.c_str(),
                     static_cast<int>(arguments.size()));
        return {};
    }
    LocalFrame frame(env_, static_cast<jint>(16 + arguments.size()));
    jclass type = env_->FindClass(jniText(jniClassName(className)).c_str());
    if (failed(L"FindClass", className) || !type) return {};
    jmethodID method = env_->GetStaticMethodID(type, jniText(methodName).c_str(), signature.c_str());
    if (failed(L"GetStaticMethodID", subject) || !method) return {};
    std::vector<jvalue> values;
    values.reserve(arguments.size());
    for (JObject* argument : arguments) {
        values.push_back(argument ? argument->toJValue(env_) : jvalue{});
        if (failed(L"argument of", subject)) return {};
    }
    const jvalue* valueList = values.empty() ? nullptr : values.data();

    // Each result type has its own call, so that the runtime never reads a primitive as a
    // reference.
    std::wstring text;
    switch (jniReturnOf(signature)) {
    case JniReturn::Object: {
        jobject result = env_->CallStaticObjectMethodA(type, method, valueList);
        if (env_->ExceptionCheck()) break;
        text = stringResult(result);
        break;
    }
    case JniReturn::Boolean: {
        jboolean result = env_->CallStaticBooleanMethodA(type, method, valueList);
        if (env_->ExceptionCheck()) break;
        text = result ? L"true" : L"false";
        break;
    }
    case JniReturn::Void: env_->CallStaticVoidMethodA(type, method, valueList); break;
    case JniReturn::Int: env_->CallStaticIntMethodA(type, method, valueList); break;
    case JniReturn::Long: env_->CallStaticLongMethodA(type, method, valueList); break;
    case JniReturn::Float: env_->CallStaticFloatMethodA(type, method, valueList); break;
    case JniReturn::Double: env_->CallStaticDoubleMethodA(type, method, valueList); break;
    case JniReturn::Byte: env_->CallStaticByteMethodA(type, method, valueList); break;
    case JniReturn::Char: env_->CallStaticCharMethodA(type, method, valueList); break;
    case JniReturn::Short: env_->CallStaticShortMethodA(type, method, valueList); break;
    case JniReturn::Invalid: break;
    }
    if (env_->ExceptionCheck()) {
        debugOutput(L"dsfsd");
        failed(L"call of", subject);
        return {};
    }
    return text;
}

} // namespace ornivel
