#pragma once
// What a JNI method signature such as "(Ljava/lang/String;I)Z" says about a call.
#include <string>

namespace ornivel {

// The result type, by the signature's last character.
enum class JniReturn { Object, Boolean, Void, Int, Long, Float, Double, Byte, Char, Short, Invalid };
JniReturn jniReturnOf(const std::string& signature);

// The number of parameters between the parentheses, or -1 when the signature is malformed.
int jniParameterCount(const std::string& signature);

// A dotted Java class name in the slash form FindClass takes ("a.b.C" gives "a/b/C").
std::wstring jniClassName(const std::wstring& dottedName);

} // namespace ornivel
