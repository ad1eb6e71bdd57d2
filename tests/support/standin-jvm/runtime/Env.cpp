// The JNIEnv function table of the stand-in: the functions the launcher calls, with the
// semantics of a real runtime where the launcher depends on them. Any other function
// records an error naming its slot.
#include <algorithm>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <set>
#include <utility>

#include "Standin.h"

namespace ornivel::test::standin {

namespace {

struct EnvState {
    std::vector<std::vector<Obj*>> frames{1};
    Obj* pending = nullptr;
    std::set<const char*> utfChars;
    std::set<DWORD> threads;
};

EnvState& state() {
    static EnvState s;
    return s;
}

JNINativeInterface_ table;
JNIEnv_ env{&table};

// A JNI call: from an attached thread, and (except for the exception functions) without a
// pending exception, as a real runtime requires.
bool enter(const char* function, bool exceptionSafe = false) {
    if (!state().threads.count(GetCurrentThreadId()))
        recordError(std::string(function) + " called from a thread that is not attached");
    if (!exceptionSafe && state().pending) {
        recordError(std::string(function) + " called with a pending exception " + state().pending->className);
        return false;
    }
    return true;
}

jobject local(Obj* object) {
    if (!object) return nullptr;
    state().frames.back().push_back(object);
    return reinterpret_cast<jobject>(object);
}

Obj* deref(jobject reference) { return reinterpret_cast<Obj*>(reference); }

template <size_t Slot>
jint JNICALL unsupported() {
    recordError("unsupported JNI function in slot " + std::to_string(Slot));
    return 0;
}

template <size_t... Slots>
void fillUnsupported(std::index_sequence<Slots...>) {
    void** slots = reinterpret_cast<void**>(&table);
    ((slots[Slots] = reinterpret_cast<void*>(&unsupported<Slots>)), ...);
}

// --- versions, classes, exceptions ---------------------------------------------------
jint JNICALL GetVersion(JNIEnv*) { return JNI_VERSION_10; }

jclass JNICALL FindClass(JNIEnv*, const char* name) {
    if (!enter("FindClass")) return nullptr;
    Obj* c = name ? findClassObject(name) : nullptr;
    if (!c) {
        throwNew("java/lang/NoClassDefFoundError", name ? name : "(null)");
        return nullptr;
    }
    return static_cast<jclass>(local(c));
}

jboolean JNICALL ExceptionCheck(JNIEnv*) {
    enter("ExceptionCheck", true);
    return state().pending ? JNI_TRUE : JNI_FALSE;
}
jthrowable JNICALL ExceptionOccurred(JNIEnv*) {
    enter("ExceptionOccurred", true);
    return static_cast<jthrowable>(local(state().pending));
}
void JNICALL ExceptionClear(JNIEnv*) {
    enter("ExceptionClear", true);
    if (state().pending) record({"exception-cleared", state().pending->className, state().pending->message});
    state().pending = nullptr;
}
void JNICALL ExceptionDescribe(JNIEnv*) {
    enter("ExceptionDescribe", true);
    if (state().pending) record({"exception-described", state().pending->className, state().pending->message});
    // Like the real runtime: describing clears the exception.
    state().pending = nullptr;
}
jint JNICALL ThrowNew(JNIEnv*, jclass type, const char* message) {
    throwNew(deref(type) ? deref(type)->className : "java/lang/Throwable", message ? message : "");
    return 0;
}

// --- references ----------------------------------------------------------------------
jint JNICALL PushLocalFrame(JNIEnv*, jint capacity) {
    if (!enter("PushLocalFrame")) return JNI_ERR;
    if (capacity < 0) return JNI_ERR;
    state().frames.emplace_back();
    return JNI_OK;
}
jobject JNICALL PopLocalFrame(JNIEnv*, jobject result) {
    enter("PopLocalFrame", true);
    if (state().frames.size() < 2) {
        recordError("PopLocalFrame without PushLocalFrame");
        return nullptr;
    }
    state().frames.pop_back();
    return local(deref(result));
}
void JNICALL DeleteLocalRef(JNIEnv*, jobject reference) {
    enter("DeleteLocalRef", true);
    if (!reference) return;
    for (auto frame = state().frames.rbegin(); frame != state().frames.rend(); ++frame) {
        auto found = std::find(frame->begin(), frame->end(), deref(reference));
        if (found != frame->end()) {
            frame->erase(found);
            return;
        }
    }
    recordError("DeleteLocalRef of a reference that is not a live local reference");
}
jint JNICALL EnsureLocalCapacity(JNIEnv*, jint capacity) { return capacity < 0 ? JNI_ERR : JNI_OK; }
jobject JNICALL NewLocalRef(JNIEnv*, jobject reference) { return local(deref(reference)); }

jboolean JNICALL IsInstanceOf(JNIEnv*, jobject object, jclass type) {
    if (!enter("IsInstanceOf")) return JNI_FALSE;
    if (!object) return JNI_TRUE;
    if (!type) {
        recordError("IsInstanceOf with a null class");
        return JNI_FALSE;
    }
    const std::string& wanted = deref(type)->className;
    return (wanted == "java/lang/Object" || deref(object)->className == wanted) ? JNI_TRUE : JNI_FALSE;
}
jclass JNICALL GetObjectClass(JNIEnv*, jobject object) {
    if (!enter("GetObjectClass") || !object) return nullptr;
    return static_cast<jclass>(local(findClassObject(deref(object)->className)));
}

// --- strings -------------------------------------------------------------------------
jstring JNICALL NewStringUTF(JNIEnv*, const char* bytes) {
    if (!enter("NewStringUTF")) return nullptr;
    if (!bytes) return nullptr;
    std::u16string chars;
    if (!decodeModifiedUtf8(bytes, chars)) recordError("NewStringUTF given bytes that are not modified UTF-8");
    return static_cast<jstring>(local(newString(chars)));
}
jstring JNICALL NewString(JNIEnv*, const jchar* chars, jsize length) {
    if (!enter("NewString")) return nullptr;
    return static_cast<jstring>(local(newString(std::u16string(reinterpret_cast<const char16_t*>(chars), length))));
}
jsize JNICALL GetStringLength(JNIEnv*, jstring s) {
    if (!enter("GetStringLength") || !s) return 0;
    return static_cast<jsize>(deref(s)->chars.size());
}
jsize JNICALL GetStringUTFLength(JNIEnv*, jstring s) {
    if (!enter("GetStringUTFLength") || !s) return 0;
    return static_cast<jsize>(modifiedUtf8(deref(s)->chars).size());
}
const char* JNICALL GetStringUTFChars(JNIEnv*, jstring s, jboolean* isCopy) {
    if (!enter("GetStringUTFChars")) return nullptr;
    if (!s || deref(s)->kind != Obj::String) {
        recordError("GetStringUTFChars of something that is not a string");
        return nullptr;
    }
    std::string bytes = modifiedUtf8(deref(s)->chars);
    char* copy = static_cast<char*>(std::malloc(bytes.size() + 1));
    std::memcpy(copy, bytes.c_str(), bytes.size() + 1);
    state().utfChars.insert(copy);
    if (isCopy) *isCopy = JNI_TRUE;
    return copy;
}
void JNICALL ReleaseStringUTFChars(JNIEnv*, jstring, const char* chars) {
    enter("ReleaseStringUTFChars", true);
    if (!state().utfChars.erase(chars)) {
        recordError("ReleaseStringUTFChars of characters not obtained from GetStringUTFChars");
        return;
    }
    std::free(const_cast<char*>(chars));
}

// --- arrays --------------------------------------------------------------------------
void throwOutOfBounds(jsize index, size_t length) {
    throwNew("java/lang/ArrayIndexOutOfBoundsException",
             "Index " + std::to_string(index) + " out of bounds for length " + std::to_string(length));
}

jobjectArray JNICALL NewObjectArray(JNIEnv*, jsize length, jclass elementType, jobject initial) {
    if (!enter("NewObjectArray")) return nullptr;
    if (!elementType) {
        recordError("NewObjectArray with a null element class");
        return nullptr;
    }
    if (length < 0) {
        throwNew("java/lang/NegativeArraySizeException", std::to_string(length));
        return nullptr;
    }
    Obj* array = newObject(Obj::Array, "[L" + deref(elementType)->className + ";");
    array->elements.assign(length, deref(initial));
    return static_cast<jobjectArray>(local(array));
}
jsize JNICALL GetArrayLength(JNIEnv*, jarray array) {
    if (!enter("GetArrayLength") || !array) return 0;
    return static_cast<jsize>(deref(array)->elements.size());
}
void JNICALL SetObjectArrayElement(JNIEnv*, jobjectArray array, jsize index, jobject value) {
    if (!enter("SetObjectArrayElement")) return;
    if (!array) {
        recordError("SetObjectArrayElement of a null array");
        return;
    }
    if (index < 0 || static_cast<size_t>(index) >= deref(array)->elements.size()) {
        throwOutOfBounds(index, deref(array)->elements.size());
        return;
    }
    deref(array)->elements[index] = deref(value);
}
jobject JNICALL GetObjectArrayElement(JNIEnv*, jobjectArray array, jsize index) {
    if (!enter("GetObjectArrayElement")) return nullptr;
    if (!array) {
        recordError("GetObjectArrayElement of a null array");
        return nullptr;
    }
    if (index < 0 || static_cast<size_t>(index) >= deref(array)->elements.size()) {
        throwOutOfBounds(index, deref(array)->elements.size());
        return nullptr;
    }
    return local(deref(array)->elements[index]);
}

// --- static methods ------------------------------------------------------------------
jmethodID JNICALL GetStaticMethodID(JNIEnv*, jclass type, const char* name, const char* signature) {
    if (!enter("GetStaticMethodID")) return nullptr;
    if (!type || !name || !signature) {
        recordError("GetStaticMethodID with a null class, name or signature");
        return nullptr;
    }
    const Method* m = findMethod(deref(type)->className, name, signature);
    if (!m) {
        // HotSpot 17 names the method only.
        throwNew("java/lang/NoSuchMethodError", name);
        return nullptr;
    }
    return reinterpret_cast<jmethodID>(const_cast<Method*>(m));
}

// What a call of the given kind ('L' object, 'Z', 'V', 'I', ...) may call.
bool returnMatches(char kind, const std::string& signature) {
    char last = signature.back();
    char returned = (last == ';') ? 'L' : last;
    if (signature[signature.find(')') + 1] == '[') returned = 'L';
    return returned == kind;
}

jvalue invoke(char kind, const char* function, jclass type, jmethodID methodId, const std::vector<jvalue>& arguments) {
    jvalue none{};
    if (!enter(function)) return none;
    if (!type || !methodId) {
        recordError(std::string(function) + " with a null class or method");
        return none;
    }
    const Method* m = reinterpret_cast<const Method*>(methodId);
    if (!returnMatches(kind, m->signature)) {
        recordError(std::string(function) + " on " + m->name + m->signature + ", whose result is of another type");
        return none;
    }
    if (m->className != deref(type)->className) recordError(std::string(function) + " with a method of another class");
    std::vector<std::string> fields{"call", m->className, m->name, m->signature};
    std::vector<char> kinds = parameterKinds(m->signature);
    for (size_t i = 0; i < arguments.size() && i < kinds.size(); ++i) {
        if (kinds[i] == 'L' || kinds[i] == '[') {
            Obj* o = deref(arguments[i].l);
            if (!o) fields.push_back("(null)");
            else if (o->kind == Obj::String) fields.push_back(utf8(o->chars));
            else if (o->kind == Obj::Array) fields.push_back("array[" + std::to_string(o->elements.size()) + "]");
            else fields.push_back("object " + o->className);
        } else if (kinds[i] == 'J') {
            fields.push_back(std::to_string(static_cast<long long>(arguments[i].j)));
        } else if (kinds[i] == 'F' || kinds[i] == 'D') {
            fields.push_back(std::to_string(kinds[i] == 'F' ? arguments[i].f : arguments[i].d));
        } else {
            fields.push_back(std::to_string(static_cast<long>(arguments[i].i)));
        }
    }
    record(fields);
    jvalue result = m->handler(m->className, arguments);
    if (kind == 'L') {
        Obj* o = deref(result.l);
        record({"return", m->className, m->name, !o ? "(null)" : o->kind == Obj::String ? utf8(o->chars) : "object " + o->className});
        result.l = local(o);
    } else if (kind == 'Z') {
        record({"return", m->className, m->name, result.z ? "true" : "false"});
    }
    return result;
}

std::vector<jvalue> fromArray(jmethodID methodId, const jvalue* values) {
    std::vector<jvalue> arguments;
    if (!methodId) return arguments;
    size_t count = parameterKinds(reinterpret_cast<const Method*>(methodId)->signature).size();
    if (count && !values) {
        recordError("a call with parameters but no argument array");
        return arguments;
    }
    arguments.assign(values, values + count);
    return arguments;
}

std::vector<jvalue> fromList(jmethodID methodId, va_list list) {
    std::vector<jvalue> arguments;
    if (!methodId) return arguments;
    for (char kind : parameterKinds(reinterpret_cast<const Method*>(methodId)->signature)) {
        jvalue v{};
        switch (kind) {
        case 'L':
        case '[': v.l = va_arg(list, jobject); break;
        case 'J': v.j = va_arg(list, jlong); break;
        case 'F': v.f = static_cast<jfloat>(va_arg(list, double)); break;
        case 'D': v.d = va_arg(list, double); break;
        default: v.i = va_arg(list, int); break;
        }
        arguments.push_back(v);
    }
    return arguments;
}

#define STANDIN_CALLS(Name, Type, kind, member)                                                          \
    Type JNICALL CallStatic##Name##MethodA(JNIEnv*, jclass c, jmethodID m, const jvalue* a) {             \
        return static_cast<Type>(invoke(kind, "CallStatic" #Name "MethodA", c, m, fromArray(m, a)).member); \
    }                                                                                                      \
    Type JNICALL CallStatic##Name##MethodV(JNIEnv*, jclass c, jmethodID m, va_list a) {                   \
        return static_cast<Type>(invoke(kind, "CallStatic" #Name "MethodV", c, m, fromList(m, a)).member);  \
    }                                                                                                      \
    Type JNICALL CallStatic##Name##Method(JNIEnv*, jclass c, jmethodID m, ...) {                          \
        va_list a;                                                                                         \
        va_start(a, m);                                                                                    \
        std::vector<jvalue> arguments = fromList(m, a);                                                   \
        va_end(a);                                                                                         \
        return static_cast<Type>(invoke(kind, "CallStatic" #Name "Method", c, m, arguments).member);      \
    }

STANDIN_CALLS(Object, jobject, 'L', l)
STANDIN_CALLS(Boolean, jboolean, 'Z', z)
STANDIN_CALLS(Int, jint, 'I', i)
STANDIN_CALLS(Long, jlong, 'J', j)
STANDIN_CALLS(Byte, jbyte, 'B', b)
STANDIN_CALLS(Char, jchar, 'C', c)
STANDIN_CALLS(Short, jshort, 'S', s)
STANDIN_CALLS(Float, jfloat, 'F', f)
STANDIN_CALLS(Double, jdouble, 'D', d)

void JNICALL CallStaticVoidMethodA(JNIEnv*, jclass c, jmethodID m, const jvalue* a) {
    invoke('V', "CallStaticVoidMethodA", c, m, fromArray(m, a));
}
void JNICALL CallStaticVoidMethodV(JNIEnv*, jclass c, jmethodID m, va_list a) {
    invoke('V', "CallStaticVoidMethodV", c, m, fromList(m, a));
}
void JNICALL CallStaticVoidMethod(JNIEnv*, jclass c, jmethodID m, ...) {
    va_list a;
    va_start(a, m);
    std::vector<jvalue> arguments = fromList(m, a);
    va_end(a);
    invoke('V', "CallStaticVoidMethod", c, m, arguments);
}

} // namespace

void throwNew(const std::string& className, const std::string& message) {
    Obj* t = newObject(Obj::Throwable, className);
    t->message = message;
    state().pending = t;
    record({"exception-thrown", className, message});
}

bool exceptionPending() { return state().pending != nullptr; }

void allowThread(DWORD threadId) { state().threads.insert(threadId); }

size_t liveLocalReferences() {
    size_t count = 0;
    for (const auto& frame : state().frames) count += frame.size();
    return count;
}

size_t unreleasedUtfChars() { return state().utfChars.size(); }

void resetEnvState() { state() = EnvState{}; }

JNIEnv* theEnv() {
    static bool filled = false;
    if (!filled) {
        filled = true;
        fillUnsupported(std::make_index_sequence<sizeof(JNINativeInterface_) / sizeof(void*)>{});
        table.reserved0 = table.reserved1 = table.reserved2 = table.reserved3 = nullptr;
#define SET(f) table.f = f
        SET(GetVersion); SET(FindClass); SET(ExceptionCheck); SET(ExceptionOccurred); SET(ExceptionClear);
        SET(ExceptionDescribe); SET(ThrowNew); SET(PushLocalFrame); SET(PopLocalFrame); SET(DeleteLocalRef);
        SET(EnsureLocalCapacity); SET(NewLocalRef); SET(IsInstanceOf); SET(GetObjectClass); SET(NewStringUTF);
        SET(NewString); SET(GetStringLength); SET(GetStringUTFLength); SET(GetStringUTFChars);
        SET(ReleaseStringUTFChars); SET(NewObjectArray); SET(GetArrayLength); SET(SetObjectArrayElement);
        SET(GetObjectArrayElement); SET(GetStaticMethodID);
        SET(CallStaticObjectMethod); SET(CallStaticObjectMethodV); SET(CallStaticObjectMethodA);
        SET(CallStaticBooleanMethod); SET(CallStaticBooleanMethodV); SET(CallStaticBooleanMethodA);
        SET(CallStaticIntMethod); SET(CallStaticIntMethodV); SET(CallStaticIntMethodA);
        SET(CallStaticLongMethod); SET(CallStaticLongMethodV); SET(CallStaticLongMethodA);
        SET(CallStaticByteMethod); SET(CallStaticByteMethodV); SET(CallStaticByteMethodA);
        SET(CallStaticCharMethod); SET(CallStaticCharMethodV); SET(CallStaticCharMethodA);
        SET(CallStaticShortMethod); SET(CallStaticShortMethodV); SET(CallStaticShortMethodA);
        SET(CallStaticFloatMethod); SET(CallStaticFloatMethodV); SET(CallStaticFloatMethodA);
        SET(CallStaticDoubleMethod); SET(CallStaticDoubleMethodV); SET(CallStaticDoubleMethodA);
        SET(CallStaticVoidMethod); SET(CallStaticVoidMethodV); SET(CallStaticVoidMethodA);
#undef SET
    }
    return &env;
}

} // namespace ornivel::test::standin
