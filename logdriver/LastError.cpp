#include "logdriver/LastError.h"

#include <winsock2.h>
#include <windows.h>
#include <cerrno>

#include "common/Text.h"

namespace ornivel {

LastError::LastError() : code_(GetLastError()) {
    if (code_ == 0) code_ = static_cast<uint32_t>(errno);
    if (code_ == 0) code_ = static_cast<uint32_t>(WSAGetLastError());
}

std::wstring LastError::text() const {
    wchar_t* buffer = nullptr;
    DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr, code_, 0,
                             reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring message = n && buffer ? std::wstring(buffer, n) : std::wstring(L"Unknown Error");
    if (buffer) LocalFree(buffer);
    size_t cr = message.find(L'\r');
    if (cr != std::wstring::npos) message.resize(cr);
    return message + formatWide(L" (0x%08x)", code_);
}

} // namespace ornivel
