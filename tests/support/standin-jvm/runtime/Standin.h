#pragma once
// Internals of the stand-in Java runtime (test support, never shipped): the object model,
// the record file, the JNI tables and the stand-in client.
#include <windows.h>
#include <jni.h>

#include <optional>
#include <string>
#include <vector>

#include "../StandinScenario.h"

namespace ornivel::test::standin {

// --- record file ("standin-jvm.log" in the working folder), one line per item ----------
// Fields are separated by tabs; control characters inside a field are written as \xHH.
void record(const std::vector<std::string>& fields);
void recordError(const std::string& what);

// --- objects -------------------------------------------------------------------------
struct Obj {
    enum Kind { Class, String, Array, Throwable, Integer } kind;
    std::string className;      // the class of the object; for a Class: the class it names
    std::u16string chars;       // String
    std::vector<Obj*> elements; // Array
    std::string message;        // Throwable
    int value = 0;              // Integer
};

Obj* newObject(Obj::Kind kind, const std::string& className);
Obj* newString(const std::u16string& chars);
Obj* findClassObject(const std::string& name);  // null when the runtime has no such class

// Modified UTF-8 as JNI uses it; decoding reports malformed input.
std::string modifiedUtf8(const std::u16string& chars);
bool decodeModifiedUtf8(const char* bytes, std::u16string& chars);
std::string utf8(const std::u16string& chars);

// --- methods -------------------------------------------------------------------------
using Handler = jvalue (*)(const std::string& className, const std::vector<jvalue>& arguments);
struct Method {
    std::string className;
    std::string name;
    std::string signature;
    Handler handler;
};
void addMethod(const Method& method);
const Method* findMethod(const std::string& className, const std::string& name, const std::string& signature);
// Parameter type characters of a signature ('L' for any reference, '[' for arrays).
std::vector<char> parameterKinds(const std::string& signature);

// --- the VM's state ------------------------------------------------------------------
const Scenario& scenario();
void loadScenario();
void throwNew(const std::string& className, const std::string& message);  // sets the pending exception
bool exceptionPending();
// Registers a non-daemon thread of the stand-in client; DestroyJavaVM waits for it.
void startNonDaemonThread(LPTHREAD_START_ROUTINE body, void* parameter);
void waitForNonDaemonThreads();

JNIEnv* theEnv();
JavaVM* theVm();
void resetEnvState();
size_t liveLocalReferences();
size_t unreleasedUtfChars();
void allowThread(DWORD threadId);

// --- the stand-in client --------------------------------------------------------------
void registerClientClasses();
std::optional<std::string> loginOutcome();

} // namespace ornivel::test::standin
