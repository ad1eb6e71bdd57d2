// The version-check side: the first token of "ornivel-Server.dat", and the answer's server
// list. The masked answer that goes to the log holds every record of the answer with the same
// type, host, path, port and label, but never a user name or password.
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "sync/DeploymentServerInfo.h"
#include "sync/ServerFile.h"

using namespace ornivel;
using namespace ornivel::fuzz;

namespace {

bool isSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

void checkServerFile(const std::string& text) {
    const std::string token = firstToken(text);
    for (char c : token) FUZZ_CHECK(!isSpace(c) && c != '\0');
    const size_t at = text.find_first_not_of(" \t\n\v\f\r");
    if (token.empty()) {
        FUZZ_CHECK(at == std::string::npos || text[at] == '\0');
    } else {
        FUZZ_CHECK(text.compare(at, token.size(), token) == 0);
    }
}

// The port field read another way: strtoll on the digits, then clamped to 32 bits.
int expectedPort(const std::wstring& field) {
    std::string narrow;
    for (wchar_t c : field) narrow += (c >= 0 && c < 0x80) ? static_cast<char>(c) : '?';
    if (narrow.find('\0') != std::string::npos) narrow.resize(narrow.find('\0'));
    const char* p = narrow.c_str();
    while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
    const bool negative = *p == '-';
    if (*p == '+' || *p == '-') ++p;
    long long value = 0;
    for (; *p >= '0' && *p <= '9'; ++p) value = std::min(value * 10 + (*p - '0'), 1LL << 40);
    value = negative ? -value : value;
    return static_cast<int>(std::max<long long>(INT_MIN, std::min<long long>(INT_MAX, value)));
}

void checkAnswer(const std::string& answer) {
    const std::wstring wide = widenBytes(answer);
    const std::vector<DeploymentServerInfo> servers = parseServerList(wide);
    const std::vector<DeploymentServerInfo> shown = parseServerList(maskedServerList(wide));
    FUZZ_CHECK(shown.size() == servers.size());
    for (size_t i = 0; i < servers.size(); ++i) {
        const DeploymentServerInfo& server = servers[i];
        FUZZ_CHECK(shown[i].type == server.type && shown[i].host == server.host && shown[i].path == server.path);
        FUZZ_CHECK(shown[i].port == server.port && shown[i].label == server.label);
        FUZZ_CHECK(shown[i].userName == (server.userName.empty() ? L"" : L"***"));
        FUZZ_CHECK(shown[i].password == (server.password.empty() ? L"" : L"***"));
        for (const std::wstring* field : {&server.type, &server.host, &server.path, &server.userName, &server.password})
            FUZZ_CHECK(field->find(L'|') == std::wstring::npos);
        FUZZ_CHECK(server.label.find(L'~') == std::wstring::npos);

        bool control = false;
        for (const std::wstring* field : {&server.host, &server.path})
            for (wchar_t c : *field) control = control || c < 0x20 || c == 0x7F;
        FUZZ_CHECK(server.hasControlCharacter() == control);

        const std::wstring name = server.displayName();
        if (!server.label.empty()) FUZZ_CHECK(name == server.label);
        else if (server.type == L"net") FUZZ_CHECK(name == server.path);
        else if (server.type == L"http" || server.type == L"https" || server.type == L"inet")
            FUZZ_CHECK(name == server.host);
        else FUZZ_CHECK(name.empty());
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(bytesOf(data, size));
    checkServerFile(text);
    // The answer is the first line of the body.
    const std::string answer = text.substr(0, text.find('\n'));
    checkAnswer(answer);
    // Every field of the answer read as a port.
    size_t start = 0;
    for (size_t bar; (bar = answer.find('|', start)) != std::string::npos; start = bar + 1) {
        const std::wstring field = widenBytes(answer.substr(start, bar - start));
        FUZZ_CHECK(parsePortField(field) == expectedPort(field));
    }
    return 0;
}
