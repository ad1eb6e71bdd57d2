// The login record "launcher.dat": whatever the user types and whatever the server list
// holds, the record is one line of the six values and the end marker, the user id and caption
// read back from their hex, and the password stands in it only as its digest.
#include <fuzzer/FuzzedDataProvider.h>

#include <cwctype>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "common/TextScan.h"
#include "launcher/LoginRecord.h"
#include "config/ServerInfo.h"

using namespace ornivel;
using namespace ornivel::fuzz;

namespace {

std::vector<std::wstring> splitAtBlanks(const std::wstring& line) {
    std::vector<std::wstring> fields;
    size_t start = 0;
    for (;;) {
        const size_t blank = line.find(L' ', start);
        fields.push_back(line.substr(start, blank == std::wstring::npos ? std::wstring::npos : blank - start));
        if (blank == std::wstring::npos) return fields;
        start = blank + 1;
    }
}

bool isHexDigits(const std::wstring& text) {
    for (wchar_t c : text)
        if (!isLowerHex(c)) return false;
    return true;
}

// A host as the record can carry it: text without blanks, line ends or zero characters.
bool plainHost(const std::wstring& host) {
    for (wchar_t c : host)
        if (c == L' ' || c == L'\r' || c == L'\n' || c == L'\0') return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    LoginInput login;
    login.userId = unitsOfBytes(input.ConsumeRandomLengthString(128));
    login.password = unitsOfBytes(input.ConsumeRandomLengthString(128));
    // The server comes from a "server.ini" line; the rest of the input is that line.
    const std::wstring serverLine = widenBytes(input.ConsumeRandomLengthString(256));
    const ServerInfo server = ServerInfo::fromLine(serverLine);
    login.serverHost = server.host();
    login.serverPort = server.port();
    login.serverCaption = server.caption();
    login.serverExtra = server.extra();
    const uint64_t creation = input.ConsumeIntegral<uint64_t>(), elapsed = input.ConsumeIntegral<uint32_t>();
    const std::wstring outcome = unitsOfBytes(input.ConsumeRemainingBytesAsString());

    const std::wstring record = buildLoginRequest(login);
    const std::wstring end = L"\r\n<end>\r\n";
    FUZZ_CHECK(record.compare(0, 7, L"OGM -1 ") == 0);
    FUZZ_CHECK(record.size() >= 7 + end.size() && record.compare(record.size() - end.size(), end.size(), end) == 0);

    const std::wstring trimmed = trimWhitespace(login.userId);
    FUZZ_CHECK(login.userId.find(trimmed) != std::wstring::npos);
    FUZZ_CHECK(trimmed.empty() || (!std::iswspace(trimmed.front()) && !std::iswspace(trimmed.back())));

    const std::wstring digest = passwordDigest(login.password);
    FUZZ_CHECK(digest.size() == 32 && isHexDigits(digest));
    const std::wstring userHex = hexUtf16(trimmed), captionHex = hexUtf16(login.serverCaption);
    if (plainHost(login.serverHost)) {
        const std::wstring line = record.substr(7, record.size() - 7 - end.size());
        FUZZ_CHECK(line.find_first_of(L"\r\n") == std::wstring::npos);
        const std::vector<std::wstring> fields = splitAtBlanks(line);
        FUZZ_CHECK(fields.size() == 6);
        FUZZ_CHECK(fields[0] == userHex && isHexDigits(fields[0]));
        FUZZ_CHECK(fields[1] == digest);
        FUZZ_CHECK(fields[2] == login.serverHost);
        FUZZ_CHECK(fields[3] == std::to_wstring(login.serverPort));
        FUZZ_CHECK(fields[4] == captionHex && isHexDigits(fields[4]));
        FUZZ_CHECK(fields[5] == std::to_wstring(login.serverExtra));
    }
    const bool again = outcome.find(L"IOException") != std::wstring::npos ||
                       outcome.find(L"WrongUserOrPasswordException") != std::wstring::npos;
    FUZZ_CHECK(outcomeAsksForAnotherLogin(outcome) == again);
    FUZZ_CHECK(elapsedMillisecondsText(creation, creation + elapsed * 10000ull + elapsed % 10000) ==
               std::to_wstring(elapsed));
    return 0;
}
