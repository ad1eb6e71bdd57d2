// The up-case table of the system, the one NTFS volumes are made with.
#include "Upcase.h"

#include <windows.h>

namespace ornivel::publish {

namespace {

using UpcaseFunction = WCHAR(NTAPI*)(WCHAR);

UpcaseFunction& function() {
    static UpcaseFunction upcase = nullptr;
    return upcase;
}

} // namespace

bool prepareUpcase(std::string& problem) {
    if (function()) return true;
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    function() = ntdll ? reinterpret_cast<UpcaseFunction>(
                             reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlUpcaseUnicodeChar")))
                       : nullptr;
    if (!function()) problem = "the system's up-case table (RtlUpcaseUnicodeChar) is missing";
    return function() != nullptr;
}

wchar_t upcaseUnit(wchar_t unit) { return function() ? static_cast<wchar_t>(function()(unit)) : unit; }

} // namespace ornivel::publish
