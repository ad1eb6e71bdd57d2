#pragma once
// Move-only owner of a WinHTTP handle (session, connection or request).
#include <windows.h>
#include <winhttp.h>

#include "common/Handles.h"

namespace ornivel {

struct WinHttpHandleTraits {
    using Value = HINTERNET;
    static Value invalid() noexcept { return nullptr; }
    static bool isValid(Value v) noexcept { return v != nullptr; }
    static void close(Value v) noexcept { ::WinHttpCloseHandle(v); }
};
using WinHttpHandle = UniqueResource<WinHttpHandleTraits>;

} // namespace ornivel
