#include "launcher/LoginRecord.h"

#include <cwctype>

#include "common/Utf8.h"
#include "sync/Md5.h"

namespace ornivel {

std::wstring hexUtf16(const std::wstring& text) {
    static const wchar_t kHex[] = L"0123456789abcdef";
    std::wstring hex;
    hex.reserve(text.size() * 4);
    auto appendUnit = [&hex](uint32_t unit) {
        for (int shift = 12; shift >= 0; shift -= 4) hex += kHex[(unit >> shift) & 15];
    };
    for (wchar_t c : text) {
        auto value = static_cast<uint32_t>(c);
        if (value > 0xFFFF && value <= 0x10FFFF) {  // one wchar_t for a whole character (32-bit wchar_t)
            value -= 0x10000;
            appendUnit(0xD800 | (value >> 10));
            appendUnit(0xDC00 | (value & 0x3FF));
        } else {
            appendUnit(value & 0xFFFF);
        }
    }
    return hex;
}

std::wstring trimWhitespace(const std::wstring& text) {
    size_t begin = 0, end = text.size();
    while (begin < end && std::iswspace(text[begin])) ++begin;
    while (end > begin && std::iswspace(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

std::wstring passwordDigest(const std::wstring& password) {
    std::string bytes = encodeUtf8(password);
    MD5 digest;
    digest.update(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    digest.finalize();
    const std::string hex = digest.hex_digest();
    return std::wstring(hex.begin(), hex.end());
}

std::wstring buildLoginRequest(const LoginInput& input) {
    // "OGM -1 %s %s %s %d %s %d\r\n<end>\r\n"; the host, as a C string, ends at a zero character.
    return L"OGM -1 " + hexUtf16(trimWhitespace(input.userId)) + L' ' + passwordDigest(input.password) + L' ' +
           input.serverHost.c_str() + L' ' + std::to_wstring(input.serverPort) + L' ' +
           hexUtf16(input.serverCaption) + L' ' + std::to_wstring(input.serverExtra) + L"\r\n<end>\r\n";
}

bool outcomeAsksForAnotherLogin(const std::wstring& outcome) {
    return outcome.find(L"IOException") != std::wstring::npos ||
           outcome.find(L"WrongUserOrPasswordException") != std::wstring::npos;
}

std::wstring elapsedMillisecondsText(uint64_t creation100ns, uint64_t now100ns) {
    return std::to_wstring(static_cast<long long>((now100ns - creation100ns) / 10000));
}

} // namespace ornivel
