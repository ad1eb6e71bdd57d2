#pragma once
// Arguments of static Java methods called through the Java main thread. The caller creates
// them, passes a list of pointers and deletes them after the call has returned; the Java
// main thread turns each into a JNI argument value with toJValue.
#include <jni.h>
#include <string>

namespace ornivel {

class JObject {
public:
    virtual ~JObject() = default;
    // Called on the Java main thread only. A reference made here is a local reference of
    // the call; the caller of toJValue releases it after the call.
    virtual jvalue toJValue(JNIEnv* env) = 0;
};

class JObjectInt : public JObject {
public:
    explicit JObjectInt(int value) : value_(value) {}
    jvalue toJValue(JNIEnv* env) override;
    int value() const { return value_; }

private:
    int value_;
};

// A java.lang.String argument. The narrow constructor takes text in the system's ANSI
// code page (what 8-bit Win32 calls give); the wide one takes UTF-16. Either way the
// Java side receives the same characters.
class JObjectString : public JObject {
public:
    explicit JObjectString(const std::string& ansiText);
    explicit JObjectString(const std::wstring& text) : text_(text) {}
    jvalue toJValue(JNIEnv* env) override;
    const std::wstring& text() const { return text_; }

private:
    std::wstring text_;
};

} // namespace ornivel
