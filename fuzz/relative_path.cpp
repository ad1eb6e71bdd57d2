// The path check of file-list and archive entries: an accepted path never leaves the folder
// it is appended to, names no device, is writable under its own name, and is its own normal
// form.
#include <string>

#include "FuzzSupport.h"
#include "common/RelativePath.h"
#include "common/Utf16.h"

using namespace ornivel;
using namespace ornivel::fuzz;

namespace {

wchar_t upperAscii(wchar_t c) { return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - 32) : c; }

// Device names as Windows resolves them, written out here on their own: the name before the
// first dot, trailing blanks dropped, in any letter case.
bool namesDevice(const std::wstring& component) {
    std::wstring base = component.substr(0, component.find(L'.'));
    while (!base.empty() && base.back() == L' ') base.pop_back();
    for (wchar_t& c : base) c = upperAscii(c);
    if (base == L"CON" || base == L"PRN" || base == L"AUX" || base == L"NUL" || base == L"CONIN$" || base == L"CONOUT$")
        return true;
    if (base.size() != 4 || (base.compare(0, 3, L"COM") != 0 && base.compare(0, 3, L"LPT") != 0)) return false;
    const wchar_t digit = base[3];
    return (digit >= L'1' && digit <= L'9') || digit == 0xB9 || digit == 0xB2 || digit == 0xB3;
}

void checkAccepted(const std::wstring& path) {
    FUZZ_CHECK(!path.empty());
    FUZZ_CHECK(path.find(L'/') == std::wstring::npos);
    FUZZ_CHECK(path.find(L':') == std::wstring::npos);
    FUZZ_CHECK(path.front() != L'\\' && path.back() != L'\\');
    size_t start = 0;
    for (;;) {
        const size_t end = path.find(L'\\', start);
        const std::wstring part = path.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
        FUZZ_CHECK(!part.empty());
        // Windows drops trailing dots and blanks: ".", "..", ". ." and the like would climb.
        FUZZ_CHECK(part.find_first_not_of(L". ") != std::wstring::npos);
        FUZZ_CHECK(part.back() != L'.' && part.back() != L' ');
        FUZZ_CHECK(!namesDevice(part) && !isReservedDeviceName(part));
        for (wchar_t c : part) FUZZ_CHECK(c >= 0x20 && std::wstring(L"<>\"|?*").find(c) == std::wstring::npos);
        if (end == std::wstring::npos) break;
        start = end + 1;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // List paths are UTF-8 bytes (read as the system reads them, see Utf8SystemTest), read
    // through the ANSI code page when they are not UTF-8.
    std::wstring path;
    if (!utf16OfUtf8(bytesOf(data, size), path)) path = widenBytes(bytesOf(data, size));

    const CheckedPath checked = checkRelativePath(path);
    FUZZ_CHECK(checked.ok() == (checked.fault == PathFault::None));
    FUZZ_CHECK(checked.ok() || checked.path.empty());
    FUZZ_CHECK(pathFaultText(checked.fault) != nullptr);
    if (checked.ok()) {
        checkAccepted(checked.path);
        const CheckedPath again = checkRelativePath(checked.path);
        FUZZ_CHECK(again.ok() && again.path == checked.path);
    }

    // Both separators and any letter case of ASCII letters decide alike.
    std::wstring variant = path;
    for (wchar_t& c : variant) {
        if (c == L'/') c = L'\\';
        else if (c == L'\\') c = L'/';
        else if (c >= L'a' && c <= L'z') c = upperAscii(c);
    }
    const CheckedPath other = checkRelativePath(variant);
    FUZZ_CHECK(other.fault == checked.fault);
    if (checked.ok()) {
        std::wstring upper = checked.path;
        for (wchar_t& c : upper) c = upperAscii(c);
        FUZZ_CHECK(other.path == upper);
    }
    return 0;
}
