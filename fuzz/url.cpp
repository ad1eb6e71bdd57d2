// URLs of the socket client: a download URL built from the server's host, port and path and
// a list name carries the name's bytes unchanged (percent-encoded) into the request path, and
// any URL text splits into scheme, host, port and path without losing the path's bytes.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <string>

#include "FuzzSupport.h"
#include "remote/HttpText.h"
#include "remote/UrlEncode.h"

using namespace ornivel;
using namespace ornivel::fuzz;

namespace {

bool isHostChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
           c == ':';
}

std::string upper(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return text;
}

int hexDigit(char c) { return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1; }

// Percent-decodes an encoded name; every "%" must start two lower-case hexadecimal digits.
std::string decoded(const std::string& encoded) {
    std::string bytes;
    for (size_t i = 0; i < encoded.size(); ++i) {
        const char c = encoded[i];
        if (c != '%') {
            FUZZ_CHECK(std::string("~!*/._-()'").find(c) != std::string::npos ||
                       (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'));
            bytes += c;
            continue;
        }
        FUZZ_CHECK(i + 2 < encoded.size() && hexDigit(encoded[i + 1]) >= 0 && hexDigit(encoded[i + 2]) >= 0);
        bytes += static_cast<char>(hexDigit(encoded[i + 1]) * 16 + hexDigit(encoded[i + 2]));
        i += 2;
    }
    return bytes;
}

void checkDownloadUrl(const std::string& host, unsigned short port, const std::string& path, std::string name) {
    for (char& c : name)
        if (c == '\\') c = '/';
    const std::string encoded = urlEncode(name);
    FUZZ_CHECK(decoded(encoded) == name);
    const std::string url = "http://" + host + ":" + std::to_string(port) + "/" + path + "/" + encoded;
    if (host.empty() || host.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-.") !=
                            std::string::npos)
        return;
    const ParsedUrl parsed = parseUrl(url);
    FUZZ_CHECK(parsed.scheme == "HTTP" && parsed.host == upper(host) && parsed.port == port);
    FUZZ_CHECK(parsed.path == "/" + path + "/" + encoded);
}

// Whether the URL's text before `pathStart`, upper-cased, is the scheme, an optional "//" and
// the host with its port as parsed.
bool frontMatches(const std::string& url, const ParsedUrl& parsed, size_t pathStart) {
    std::string front = upper(url.substr(0, pathStart));
    const size_t colon = url.find(':');
    if (colon == std::string::npos) {
        if (parsed.scheme != "HTTP") return false;
    } else {
        if (front.compare(0, colon + 1, parsed.scheme + ":") != 0) return false;
        front.erase(0, colon + 1);
        if (front.compare(0, 2, "//") == 0) front.erase(0, 2);
    }
    if (front.compare(0, parsed.host.size(), parsed.host) != 0) return false;
    const std::string portText = front.substr(parsed.host.size());
    if (portText.empty()) return parsed.port == 80;
    return portText[0] == ':' && parsed.port == std::atoi(portText.c_str() + 1);
}

void checkAnyUrl(const std::string& url) {
    const ParsedUrl parsed = parseUrl(url);
    FUZZ_CHECK(parsed.scheme == upper(parsed.scheme) && parsed.host == upper(parsed.host));
    for (char c : parsed.host) FUZZ_CHECK(isHostChar(c) && c != ':');
    FUZZ_CHECK(!parsed.path.empty());
    // The path is the URL's own tail, letter case and all (or "/" for a URL that ends with its
    // host); what stands before it is scheme and host.
    const bool tail = url.size() >= parsed.path.size() &&
                      url.compare(url.size() - parsed.path.size(), std::string::npos, parsed.path) == 0;
    FUZZ_CHECK((tail && frontMatches(url, parsed, url.size() - parsed.path.size())) ||
               (parsed.path == "/" && frontMatches(url, parsed, url.size())));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    checkAnyUrl(std::string(bytesOf(data, size)));
    FuzzedDataProvider input(data, size);
    const std::string host = input.ConsumeRandomLengthString(32);
    const unsigned short port = input.ConsumeIntegral<unsigned short>();
    std::string path = input.ConsumeRandomLengthString(64);
    if (hasControlCharacter(path)) path.clear();  // such a server is refused before any request
    checkDownloadUrl(host, port, path, input.ConsumeRemainingBytesAsString());
    return 0;
}
