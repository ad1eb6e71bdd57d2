// The formatting of common/Text.h for the native (POSIX) build, with the Microsoft
// conventions the code base is written for: in a wide format "%s" and "%c" take wide
// arguments and "%S", "%C", "%hs", "%hc" narrow ones; in a narrow format the other way
// round; "%ls"/"%ws" are always wide; "%I64", "%I32" and "%I" give the integer's size.
// The C library's printf reads these differently (and converts narrow text through the
// locale), so each conversion is done here: strings are converted and padded by this code,
// numbers are formatted one at a time by snprintf with the directive translated.
#include "common/Text.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <type_traits>

namespace ornivel {

namespace {

template <typename Char>
bool ascii(Char c) {
    return static_cast<unsigned long>(static_cast<std::make_unsigned_t<Char>>(c)) < 0x80;
}

struct Directive {
    std::string flags;
    int width = -1;
    int precision = -1;
    std::string length;  // h, hh, l, ll, L, z, j, t, w, I64, I32, I
    char conversion = 0;
};

template <typename Char>
const Char* parseDirective(const Char* p, Directive& directive, va_list& args) {
    while (*p && ascii(*p) && std::strchr("-+ #0", static_cast<char>(*p))) directive.flags += static_cast<char>(*p++);
    if (*p == '*') {
        int width = va_arg(args, int);
        if (width < 0) {
            directive.flags += '-';
            width = -width;
        }
        directive.width = width;
        ++p;
    } else if (*p >= '0' && *p <= '9') {
        directive.width = 0;
        while (*p >= '0' && *p <= '9') directive.width = directive.width * 10 + (*p++ - '0');
    }
    if (*p == '.') {
        ++p;
        directive.precision = 0;
        if (*p == '*') {
            directive.precision = va_arg(args, int);
            ++p;
        } else {
            while (*p >= '0' && *p <= '9') directive.precision = directive.precision * 10 + (*p++ - '0');
        }
    }
    if (p[0] == 'I' && p[1] == '6' && p[2] == '4') {
        directive.length = "I64";
        p += 3;
    } else if (p[0] == 'I' && p[1] == '3' && p[2] == '2') {
        directive.length = "I32";
        p += 3;
    } else if (p[0] == 'h' && p[1] == 'h') {
        directive.length = "hh";
        p += 2;
    } else if (p[0] == 'l' && p[1] == 'l') {
        directive.length = "ll";
        p += 2;
    } else if (*p == 'h' || *p == 'l' || *p == 'L' || *p == 'z' || *p == 'j' || *p == 't' || *p == 'w' || *p == 'I') {
        directive.length = static_cast<char>(*p++);
    }
    if (*p && ascii(*p)) directive.conversion = static_cast<char>(*p++);
    return p;
}

// The C library's directive for one number, with the integer size translated.
std::string cSpec(const Directive& directive, const char* length) {
    std::string text = "%" + directive.flags;
    if (directive.width >= 0) text += std::to_string(directive.width);
    if (directive.precision >= 0) text += "." + std::to_string(directive.precision);
    return text + length + directive.conversion;
}

template <typename Value>
std::string number(const std::string& format, Value value) {
    int n = std::snprintf(nullptr, 0, format.c_str(), value);
    if (n <= 0) return {};
    std::string text(static_cast<size_t>(n) + 1, '\0');
    std::snprintf(text.data(), text.size(), format.c_str(), value);
    text.resize(static_cast<size_t>(n));
    return text;
}

std::string integer(const Directive& directive, va_list& args) {
    const bool isSigned = directive.conversion == 'd' || directive.conversion == 'i';
    const std::string& l = directive.length;
    if (l == "I64" || l == "ll" || l == "j")
        return isSigned ? number(cSpec(directive, "ll"), static_cast<long long>(va_arg(args, long long)))
                        : number(cSpec(directive, "ll"), static_cast<unsigned long long>(va_arg(args, unsigned long long)));
    if (l == "I" || l == "z" || l == "t")
        return isSigned ? number(cSpec(directive, "ll"), static_cast<long long>(va_arg(args, ptrdiff_t)))
                        : number(cSpec(directive, "ll"), static_cast<unsigned long long>(va_arg(args, size_t)));
    if (l == "l")
        return isSigned ? number(cSpec(directive, "l"), va_arg(args, long)) : number(cSpec(directive, "l"), va_arg(args, unsigned long));
    const char* size = l == "h" ? "h" : l == "hh" ? "hh" : "";
    return isSigned ? number(cSpec(directive, size), va_arg(args, int)) : number(cSpec(directive, size), va_arg(args, unsigned));
}

template <typename Char>
std::basic_string<Char> widened(const std::string& ascii) {
    return std::basic_string<Char>(ascii.begin(), ascii.end());
}

// A string argument in the output's character type (the first argument only picks the type).
std::wstring converted(const std::wstring&, const std::wstring& wide) { return wide; }
std::wstring converted(const std::wstring&, const std::string& narrow) { return fromAnsi(narrow); }
std::string converted(const std::string&, const std::string& narrow) { return narrow; }
std::string converted(const std::string&, const std::wstring& wide) { return toAnsi(wide); }

// Whether a string or character conversion takes a wide argument.
template <typename Char>
bool wideArgument(const Directive& directive) {
    if (directive.length == "l" || directive.length == "w") return true;
    if (directive.length == "h") return false;
    const bool upper = directive.conversion == 'S' || directive.conversion == 'C';
    return sizeof(Char) == sizeof(wchar_t) ? !upper : upper;
}

template <typename Char>
void appendPadded(std::basic_string<Char>& out, std::basic_string<Char> text, const Directive& directive) {
    if (directive.precision >= 0 && text.size() > static_cast<size_t>(directive.precision)) text.resize(directive.precision);
    const size_t width = directive.width > 0 ? static_cast<size_t>(directive.width) : 0;
    const size_t padding = width > text.size() ? width - text.size() : 0;
    const bool left = directive.flags.find('-') != std::string::npos;
    if (!left) out.append(padding, static_cast<Char>(' '));
    out += text;
    if (left) out.append(padding, static_cast<Char>(' '));
}

template <typename Char>
std::basic_string<Char> formatMicrosoft(const Char* format, va_list args) {
    std::basic_string<Char> out;
    va_list rest;
    va_copy(rest, args);
    const Char* p = format;
    while (*p) {
        if (*p != '%') {
            out += *p++;
            continue;
        }
        if (p[1] == '%') {
            out += static_cast<Char>('%');
            p += 2;
            continue;
        }
        Directive directive;
        const Char* start = p;
        p = parseDirective(p + 1, directive, rest);
        const std::basic_string<Char> empty;
        switch (directive.conversion) {
        case 'd': case 'i': case 'u': case 'o': case 'x': case 'X':
            out += widened<Char>(integer(directive, rest));
            break;
        case 'f': case 'F': case 'e': case 'E': case 'g': case 'G': case 'a': case 'A':
            out += widened<Char>(directive.length == "L" ? number(cSpec(directive, "L"), va_arg(rest, long double))
                                                    : number(cSpec(directive, ""), va_arg(rest, double)));
            break;
        case 'p': {
            // Microsoft's form: the address as upper-case hexadecimal digits, pointer-wide.
            auto address = reinterpret_cast<uintptr_t>(va_arg(rest, void*));
            out += widened<Char>(number("%0" + std::to_string(sizeof(void*) * 2) + "llX",
                                        static_cast<unsigned long long>(address)));
            break;
        }
        case 's': case 'S':
            if (wideArgument<Char>(directive)) {
                const wchar_t* text = va_arg(rest, const wchar_t*);
                appendPadded(out, converted(empty, std::wstring(text ? text : L"(null)")), directive);
            } else {
                const char* text = va_arg(rest, const char*);
                appendPadded(out, converted(empty, std::string(text ? text : "(null)")), directive);
            }
            break;
        case 'c': case 'C':
            if (wideArgument<Char>(directive)) {
                appendPadded(out, converted(empty, std::wstring(1, static_cast<wchar_t>(va_arg(rest, wint_t)))), directive);
            } else {
                appendPadded(out, converted(empty, std::string(1, static_cast<char>(va_arg(rest, int)))), directive);
            }
            break;
        case 'n':
            (void)va_arg(rest, int*);  // never written to
            break;
        default:
            // Not a conversion: the text stands as written.
            out.append(start, p);
            break;
        }
    }
    va_end(rest);
    return out;
}

} // namespace

std::wstring vformatWide(const wchar_t* format, va_list args) { return formatMicrosoft(format, args); }

std::wstring formatWide(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    std::wstring result = formatMicrosoft(format, args);
    va_end(args);
    return result;
}

std::string formatNarrow(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string result = formatMicrosoft(format, args);
    va_end(args);
    return result;
}

size_t vformatWideBounded(wchar_t* buffer, size_t capacity, const wchar_t* format, va_list args) {
    if (capacity == 0) return 0;
    const std::wstring text = formatMicrosoft(format, args);
    const size_t n = text.size() < capacity - 1 ? text.size() : capacity - 1;
    text.copy(buffer, n);
    buffer[n] = L'\0';
    return n;
}

} // namespace ornivel
