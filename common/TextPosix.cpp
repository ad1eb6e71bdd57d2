// The text helpers of common/Text.h for the native (POSIX) build. The system's narrow
// encoding is taken to be UTF-8 there, so the "ANSI" conversions are the UTF-8 ones.
#include "common/Text.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "common/PosixPath.h"

namespace ornivel {

namespace {

const char32_t kReplacement = 0xFFFD;

void appendUtf8(std::string& out, char32_t c) {
    if (c >= 0xD800 && c <= 0xDFFF) c = kReplacement;  // a lone surrogate, as Windows does
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c <= 0x10FFFF) {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        appendUtf8(out, kReplacement);
    }
}

// One UTF-8 sequence from `at`; malformed, overlong or surrogate sequences give U+FFFD for
// their first byte.
char32_t nextUtf8(const std::string& text, size_t& at) {
    auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char b0 = byte(at);
    int length = b0 < 0x80 ? 1 : (b0 & 0xE0) == 0xC0 ? 2 : (b0 & 0xF0) == 0xE0 ? 3 : (b0 & 0xF8) == 0xF0 ? 4 : 0;
    if (length == 1) {
        ++at;
        return b0;
    }
    if (length == 0 || at + length > text.size()) {
        ++at;
        return kReplacement;
    }
    char32_t c = b0 & (0x7F >> length);
    for (int i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) {
            ++at;
            return kReplacement;
        }
        c = (c << 6) | (byte(at + i) & 0x3F);
    }
    static const char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < kSmallest[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
        ++at;
        return kReplacement;
    }
    at += length;
    return c;
}

} // namespace

std::string toUtf8(const std::wstring& text) {
    std::string out;
    out.reserve(text.size());
    for (wchar_t c : text) appendUtf8(out, static_cast<char32_t>(c));
    return out;
}

std::wstring fromUtf8(const std::string& text) {
    std::wstring out;
    out.reserve(text.size());
    for (size_t at = 0; at < text.size();) out += static_cast<wchar_t>(nextUtf8(text, at));
    return out;
}

std::string toAnsi(const std::wstring& text) { return toUtf8(text); }
std::wstring fromAnsi(const std::string& text) { return fromUtf8(text); }

std::string posixPath(const std::wstring& path) {
    std::string name = toUtf8(path);
    for (char& c : name)
        if (c == '\\') c = '/';
    return name;
}

std::wstring currentFolder() {
    std::vector<char> buffer(256);
    while (!getcwd(buffer.data(), buffer.size())) {
        if (errno != ERANGE) return L"./";
        buffer.resize(buffer.size() * 2);
    }
    std::wstring folder = fromUtf8(buffer.data());
    if (folder.empty() || folder.back() != L'/') folder += L'/';
    return folder;
}

std::wstring modulePath() {
    std::vector<char> buffer(256);
    for (;;) {
        ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0) return {};
        if (static_cast<size_t>(n) < buffer.size()) return fromUtf8(std::string(buffer.data(), n));
        buffer.resize(buffer.size() * 2);
    }
}

void putProcessEnvironment(const std::wstring& name, const std::wstring& value) {
    setenv(toUtf8(name).c_str(), toUtf8(value).c_str(), 1);
}

std::wstring processEnvironment(const std::wstring& name) {
    const char* value = getenv(toUtf8(name).c_str());
    return value ? fromUtf8(value) : std::wstring();
}

std::wstring moduleFolder() {
    const std::wstring path = modulePath();
    const size_t cut = path.find_last_of(L'/');
    return cut == std::wstring::npos ? std::wstring() : path.substr(0, cut);
}

} // namespace ornivel
