#include "jvm/JObject.h"

#include "common/Text.h"
#include "jvm/ModifiedUtf8.h"

namespace ornivel {

jvalue JObjectInt::toJValue(JNIEnv*) {
    jvalue value{};
    value.i = static_cast<jint>(value_);
    return value;
}

JObjectString::JObjectString(const std::string& ansiText) : text_(fromAnsi(ansiText)) {}

jvalue JObjectString::toJValue(JNIEnv* env) {
    jvalue value{};
    value.l = env->NewStringUTF(toModifiedUtf8(text_).c_str());
    return value;
}

} // namespace ornivel
