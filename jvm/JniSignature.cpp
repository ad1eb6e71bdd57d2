#include "jvm/JniSignature.h"

namespace ornivel {

JniReturn jniReturnOf(const std::string& signature) {
    if (signature.empty()) return JniReturn::Invalid;
    switch (signature.back()) {
    case ';': return JniReturn::Object;
    case 'Z': return JniReturn::Boolean;
    case 'V': return JniReturn::Void;
    case 'I': return JniReturn::Int;
    case 'J': return JniReturn::Long;
    case 'F': return JniReturn::Float;
    case 'D': return JniReturn::Double;
    case 'B': return JniReturn::Byte;
    case 'C': return JniReturn::Char;
    case 'S': return JniReturn::Short;
    default: return JniReturn::Invalid;
    }
}

int jniParameterCount(const std::string& signature) {
    if (signature.empty() || signature[0] != '(') return -1;
    int count = 0;
    size_t i = 1;
    while (i < signature.size() && signature[i] != ')') {
        while (i < signature.size() && signature[i] == '[') ++i;
        if (i >= signature.size()) return -1;
        char c = signature[i];
        if (c == 'L') {
            size_t end = signature.find(';', i);
            if (end == std::string::npos || end == i + 1) return -1;
            i = end + 1;
        } else if (std::string("ZBCSIJFD").find(c) != std::string::npos) {
            ++i;
        } else {
            return -1;
        }
        ++count;
    }
    if (i >= signature.size()) return -1;
    // One return type must follow the parenthesis.
    if (i + 1 >= signature.size()) return -1;
    return count;
}

std::wstring jniClassName(const std::wstring& dottedName) {
    std::wstring name = dottedName;
    for (wchar_t& c : name)
        if (c == L'.') c = L'/';
    return name;
}

} // namespace ornivel
