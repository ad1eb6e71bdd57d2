#include "Standin.h"

#include <algorithm>
#include <deque>
#include <memory>

namespace ornivel::test::standin {

namespace {

CRITICAL_SECTION& objectLock() {
    static CRITICAL_SECTION lock;
    static bool ready = (InitializeCriticalSection(&lock), true);
    (void)ready;
    return lock;
}

// Objects are never collected: the stand-in lives for one short test process.
std::deque<std::unique_ptr<Obj>>& heap() {
    static std::deque<std::unique_ptr<Obj>> objects;
    return objects;
}

std::vector<Method>& methods() {
    static std::vector<Method> all;
    return all;
}

const char* const kLibraryClasses[] = {
    "java/lang/Object",        "java/lang/String",          "java/lang/Integer",
    "java/lang/Throwable",     "java/lang/RuntimeException", "java/lang/NoClassDefFoundError",
    "java/lang/NoSuchMethodError", "java/lang/NullPointerException", "java/lang/NegativeArraySizeException",
    "java/lang/ArrayIndexOutOfBoundsException",
};

bool hidden(const std::string& name) {
    const auto& list = scenario().hiddenClasses;
    return std::find(list.begin(), list.end(), name) != list.end();
}

bool hasMethods(const std::string& className) {
    for (const Method& m : methods())
        if (m.className == className) return true;
    return false;
}

} // namespace

Obj* newObject(Obj::Kind kind, const std::string& className) {
    auto object = std::make_unique<Obj>();
    object->kind = kind;
    object->className = className;
    Obj* raw = object.get();
    EnterCriticalSection(&objectLock());
    heap().push_back(std::move(object));
    LeaveCriticalSection(&objectLock());
    return raw;
}

Obj* newString(const std::u16string& chars) {
    Obj* s = newObject(Obj::String, "java/lang/String");
    s->chars = chars;
    return s;
}

Obj* findClassObject(const std::string& name) {
    static std::vector<Obj*> classes;
    bool known = hasMethods(name) && !hidden(name);
    for (const char* library : kLibraryClasses)
        if (name == library) known = true;
    if (!known) return nullptr;
    EnterCriticalSection(&objectLock());
    Obj* found = nullptr;
    for (Obj* c : classes)
        if (c->className == name) found = c;
    LeaveCriticalSection(&objectLock());
    if (found) return found;
    found = newObject(Obj::Class, name);
    EnterCriticalSection(&objectLock());
    classes.push_back(found);
    LeaveCriticalSection(&objectLock());
    return found;
}

std::string modifiedUtf8(const std::u16string& chars) {
    std::string out;
    for (char16_t c16 : chars) {
        unsigned c = c16;
        if (c != 0 && c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

bool decodeModifiedUtf8(const char* bytes, std::u16string& chars) {
    chars.clear();
    auto at = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
    auto more = [&](size_t i) { return (at(i) & 0xC0) == 0x80; };
    for (size_t i = 0; bytes[i];) {
        unsigned b = at(i);
        if (b < 0x80) {
            chars += static_cast<char16_t>(b);
            i += 1;
        } else if ((b & 0xE0) == 0xC0 && more(i + 1)) {
            chars += static_cast<char16_t>(((b & 0x1F) << 6) | (at(i + 1) & 0x3F));
            i += 2;
        } else if ((b & 0xF0) == 0xE0 && more(i + 1) && more(i + 2)) {
            chars += static_cast<char16_t>(((b & 0x0F) << 12) | ((at(i + 1) & 0x3F) << 6) | (at(i + 2) & 0x3F));
            i += 3;
        } else {
            return false;  // four-byte forms and stray bytes are not modified UTF-8
        }
    }
    return true;
}

std::string utf8(const std::u16string& chars) {
    std::string out;
    for (size_t i = 0; i < chars.size(); ++i) {
        unsigned c = chars[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < chars.size() && chars[i + 1] >= 0xDC00 && chars[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (chars[i + 1] - 0xDC00);
            ++i;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

void addMethod(const Method& method) { methods().push_back(method); }

const Method* findMethod(const std::string& className, const std::string& name, const std::string& signature) {
    for (const Method& m : methods())
        if (m.className == className && m.name == name && m.signature == signature) return &m;
    return nullptr;
}

std::vector<char> parameterKinds(const std::string& signature) {
    std::vector<char> kinds;
    size_t i = 1;
    while (i < signature.size() && signature[i] != ')') {
        if (signature[i] == '[') {
            kinds.push_back('[');
            while (i < signature.size() && signature[i] == '[') ++i;
            if (i < signature.size() && signature[i] == 'L') i = signature.find(';', i);
            ++i;
        } else if (signature[i] == 'L') {
            kinds.push_back('L');
            i = signature.find(';', i) + 1;
        } else {
            kinds.push_back(signature[i]);
            ++i;
        }
    }
    return kinds;
}

} // namespace ornivel::test::standin
