#pragma once
// Move-only owner of a WinHTTP handle (session, connection or request).
#include <windows.h>
#include <winhttp.h>

#include <string>

#include "common/Handles.h"

namespace ornivel {

struct WinHttpHandleTraits {
    using Value = HINTERNET;
    static Value invalid() noexcept { return nullptr; }
    static bool isValid(Value v) noexcept { return v != nullptr; }
    static void close(Value v) noexcept { ::WinHttpCloseHandle(v); }
};
using WinHttpHandle = UniqueResource<WinHttpHandleTraits>;

// A session through `proxy` ("HOST:PORT"), or direct when it is empty: the proxy decision is
// the whole choice, never WinHTTP's own default.
inline HINTERNET openWinHttpSession(const std::wstring& proxy) {
    return proxy.empty() ? ::WinHttpOpen(L"ornivel", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                         WINHTTP_NO_PROXY_BYPASS, 0)
                         : ::WinHttpOpen(L"ornivel", WINHTTP_ACCESS_TYPE_NAMED_PROXY, proxy.c_str(),
                                         WINHTTP_NO_PROXY_BYPASS, 0);
}

} // namespace ornivel
