#include "launcher/LoginRecord.h"

#include "common/Text.h"
#include "common/TextScan.h"
#include "common/Utf16.h"
#include "filelist/Md5.h"

namespace ornivel {

std::wstring hexUtf16(const std::wstring& text) {
    static const wchar_t kHex[] = L"0123456789abcdef";
    std::wstring hex;
    hex.reserve(text.size() * 4);
    for (char16_t unit : toUtf16(text)) {
        for (int shift = 12; shift >= 0; shift -= 4) hex += kHex[(unit >> shift) & 15];
    }
    return hex;
}

std::wstring passwordDigest(const std::wstring& password) {
    std::string bytes = toUtf8(password);
    MD5 digest;
    digest.update(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    digest.finalize();
    return fromAnsi(digest.hex_digest());
}

std::wstring buildLoginRequest(const LoginInput& input) {
    return formatWide(L"OGM -1 %s %s %s %d %s %d\r\n<end>\r\n", hexUtf16(trimWhitespace(input.userId)).c_str(),
                      passwordDigest(input.password).c_str(), input.serverHost.c_str(), input.serverPort,
                      hexUtf16(input.serverCaption).c_str(), input.serverExtra);
}

bool outcomeAsksForAnotherLogin(const std::wstring& outcome) {
    return outcome.find(L"IOException") != std::wstring::npos ||
           outcome.find(L"WrongUserOrPasswordException") != std::wstring::npos;
}

std::wstring elapsedMillisecondsText(uint64_t creation100ns, uint64_t now100ns) {
    return formatWide(L"%I64d", static_cast<long long>((now100ns - creation100ns) / 10000));
}

} // namespace ornivel
