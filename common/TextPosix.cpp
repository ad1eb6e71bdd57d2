// The text helpers of common/Text.h for the native (POSIX) build. The system's narrow
// encoding is taken to be UTF-8 there, so the "ANSI" conversions are the UTF-8 ones.
#include "common/Text.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "common/PosixPath.h"
#include "common/Utf16.h"

namespace ornivel {

std::string toUtf8(const std::wstring& text) { return utf8OfUtf16(text); }

std::wstring fromUtf8(const std::string& text) { return utf16OfUtf8Replacing(text); }

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
