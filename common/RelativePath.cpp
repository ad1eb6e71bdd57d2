#include "common/RelativePath.h"

namespace ornivel {

namespace {

bool isSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

wchar_t upperAscii(wchar_t c) { return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - L'a' + L'A') : c; }

bool equalsNoCase(const std::wstring& text, const wchar_t* word) {
    size_t i = 0;
    for (; word[i] != L'\0'; ++i)
        if (i >= text.size() || upperAscii(text[i]) != word[i]) return false;
    return i == text.size();
}

// The digits Windows accepts after COM and LPT: 1-9 and the superscripts one, two, three.
bool isPortDigit(wchar_t c) { return (c >= L'1' && c <= L'9') || c == 0x00B9 || c == 0x00B2 || c == 0x00B3; }

bool isBadCharacter(wchar_t c) {
    return c < 0x20 || c == L'<' || c == L'>' || c == L'"' || c == L'|' || c == L'?' || c == L'*';
}

PathFault componentFault(const std::wstring& part) {
    if (part.find_first_not_of(L". ") == std::wstring::npos) return PathFault::ParentStep;
    if (part.back() == L'.' || part.back() == L' ') return PathFault::TrailingDotOrBlank;
    for (wchar_t c : part)
        if (isBadCharacter(c)) return PathFault::BadCharacter;
    if (isReservedDeviceName(part)) return PathFault::DeviceName;
    return PathFault::None;
}

} // namespace

bool isReservedDeviceName(const std::wstring& component) {
    // Windows takes the name before the first dot, without trailing blanks.
    std::wstring base = component.substr(0, component.find(L'.'));
    while (!base.empty() && base.back() == L' ') base.pop_back();
    for (const wchar_t* device : {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"})
        if (equalsNoCase(base, device)) return true;
    if (base.size() == 4 && isPortDigit(base[3])) {
        const std::wstring stem = base.substr(0, 3);
        return equalsNoCase(stem, L"COM") || equalsNoCase(stem, L"LPT");
    }
    return false;
}

CheckedPath checkRelativePath(const std::wstring& relativePath) {
    CheckedPath checked;
    auto fail = [&checked](PathFault fault) {
        checked.path.clear();
        checked.fault = fault;
        return checked;
    };
    if (relativePath.empty()) return fail(PathFault::Empty);
    if (isSeparator(relativePath[0])) return fail(PathFault::Absolute);
    if (relativePath.find(L':') != std::wstring::npos) return fail(PathFault::Colon);

    size_t start = 0;
    while (start <= relativePath.size()) {
        size_t end = start;
        while (end < relativePath.size() && !isSeparator(relativePath[end])) ++end;
        const std::wstring part = relativePath.substr(start, end - start);
        start = end + 1;
        if (part.empty() || part == L".") continue;
        const PathFault fault = componentFault(part);
        if (fault != PathFault::None) return fail(fault);
        if (!checked.path.empty()) checked.path += L'\\';
        checked.path += part;
    }
    if (checked.path.empty()) return fail(PathFault::Empty);
    return checked;
}

const wchar_t* pathFaultText(PathFault fault) {
    switch (fault) {
    case PathFault::None: return L"is usable";
    case PathFault::Empty: return L"is empty";
    case PathFault::Absolute: return L"is absolute";
    case PathFault::Colon: return L"names a drive or a stream";
    case PathFault::ParentStep: return L"leads out of its folder";
    case PathFault::TrailingDotOrBlank: return L"ends in a dot or a blank";
    case PathFault::DeviceName: return L"names a device";
    case PathFault::BadCharacter: return L"holds a character Windows does not allow in names";
    }
    return L"unusable";
}

} // namespace ornivel
