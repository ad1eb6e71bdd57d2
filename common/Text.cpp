#include "common/Text.h"

#include <windows.h>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace ornivel {

size_t vformatWideBounded(wchar_t* buffer, size_t capacity, const wchar_t* format, va_list args) {
    if (capacity == 0) return 0;
    int n = _vsnwprintf(buffer, capacity - 1, format, args);
    if (n < 0 || static_cast<size_t>(n) >= capacity - 1) {
        buffer[capacity - 1] = L'\0';
        return capacity - 1;
    }
    buffer[n] = L'\0';
    return static_cast<size_t>(n);
}

std::wstring vformatWide(const wchar_t* format, va_list args) {
    std::vector<wchar_t> buffer(256);
    for (;;) {
        va_list copy;
        va_copy(copy, args);
        int n = _vsnwprintf(buffer.data(), buffer.size() - 1, format, copy);
        va_end(copy);
        if (n >= 0 && static_cast<size_t>(n) < buffer.size() - 1) return std::wstring(buffer.data(), n);
        buffer.resize(buffer.size() * 2);
    }
}

std::wstring formatWide(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    std::wstring result = vformatWide(format, args);
    va_end(args);
    return result;
}

std::string formatNarrow(const char* format, ...) {
    std::vector<char> buffer(256);
    va_list args;
    va_start(args, format);
    for (;;) {
        va_list copy;
        va_copy(copy, args);
        int n = _vsnprintf(buffer.data(), buffer.size() - 1, format, copy);
        va_end(copy);
        if (n >= 0 && static_cast<size_t>(n) < buffer.size() - 1) {
            va_end(args);
            return std::string(buffer.data(), n);
        }
        buffer.resize(buffer.size() * 2);
    }
}

namespace {
std::string narrow(UINT codePage, const std::wstring& text) {
    if (text.empty()) return {};
    int n = WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? n : 0, '\0');
    if (n > 0) WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}
std::wstring widen(UINT codePage, DWORD flags, const std::string& text) {
    if (text.empty()) return {};
    int n = MultiByteToWideChar(codePage, flags, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(n > 0 ? n : 0, L'\0');
    if (n > 0) MultiByteToWideChar(codePage, flags, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}
} // namespace

std::string toAnsi(const std::wstring& text) { return narrow(CP_ACP, text); }
std::wstring fromAnsi(const std::string& text) { return widen(CP_ACP, MB_PRECOMPOSED, text); }
std::string toUtf8(const std::wstring& text) { return narrow(CP_UTF8, text); }
std::wstring fromUtf8(const std::string& text) { return widen(CP_UTF8, 0, text); }
std::wstring fromUtf8OrAnsi(const std::string& bytes, bool* tookAnsi) {
    if (tookAnsi) *tookAnsi = false;
    if (bytes.empty()) return {};
    const bool utf8 = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()),
                                          nullptr, 0) > 0;
    if (tookAnsi) *tookAnsi = !utf8;
    return utf8 ? fromUtf8(bytes) : fromAnsi(bytes);
}

std::wstring currentFolder() {
    DWORD n = GetCurrentDirectoryW(0, nullptr);
    std::wstring folder(n, L'\0');
    n = GetCurrentDirectoryW(n, folder.data());
    folder.resize(n);
    if (folder.empty() || folder.back() != L'\\') folder += L'\\';
    return folder;
}

std::wstring modulePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

void putProcessEnvironment(const std::wstring& name, const std::wstring& value) {
    _wputenv_s(name.c_str(), value.c_str());
    SetEnvironmentVariableW(name.c_str(), value.c_str());
}

std::wstring processEnvironment(const std::wstring& name) {
    DWORD n = GetEnvironmentVariableW(name.c_str(), nullptr, 0);
    if (n == 0) return {};
    std::wstring value(n, L'\0');
    n = GetEnvironmentVariableW(name.c_str(), value.data(), n);
    value.resize(n);
    return value;
}

std::wstring moduleFolder() {
    const std::wstring path = modulePath();
    const size_t cut = path.find_last_of(L'\\');
    return cut == std::wstring::npos ? std::wstring() : path.substr(0, cut);
}

} // namespace ornivel
