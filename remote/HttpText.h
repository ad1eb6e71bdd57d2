#pragma once
// The text side of the socket HTTP client: URL parsing, the request text and the parsing of
// response headers. No I/O here.
#include <cstdint>
#include <string>

namespace ornivel {

struct ParsedUrl {
    std::string scheme;  // upper case; "HTTP" when the text has no ":"
    std::string host;    // upper case, without port
    int port = 80;
    std::string path;    // letter case kept; "/" when empty
};

// Scheme before the first ":", an optional "//", then the longest run of letters, digits,
// "-", "." and ":" as host (upper-cased) and the rest as path; the port follows a ":" in the
// host.
ParsedUrl parseUrl(const std::string& url);

// GET (POST with a body) of `path`, the fixed Accept, Accept-Language and User-Agent lines,
// Content-Length only for a body, Host, the extra header text and the empty line.
std::string buildRequestText(const std::string& path, const std::string& host, const char* extraHeader,
                             size_t bodyLength);

// Tells when a response header is complete: after a line feed that closes a line holding no
// character other than carriage return.
class HeaderEnd {
public:
    bool add(char c);  // true when `c` ends the header
private:
    size_t lineLength_ = 0;
};

// The number after the first white space that follows "HTTP/1."; 0 without "HTTP/1.".
int parseStatus(const std::string& header);
// The decimal number after "Content-Length: "; false when the header has none.
bool parseContentLength(const std::string& header, uint64_t& length);
// The value after `name` (searched case-sensitively) up to the first control character.
bool headerValue(const std::string& header, const char* name, std::string& value);

struct Refresh {
    unsigned seconds = 0;
    std::string url;
};
// A Refresh wait longer than this is cut to it: a server cannot hold a download for long.
constexpr unsigned kMaxRefreshSeconds = 5;
// The wait at the start of a Refresh value (at most kMaxRefreshSeconds) and its target: the
// text after the first "url=", or `currentUrl` without one.
Refresh parseRefresh(const std::string& value, const std::string& currentUrl);

// Whether a URL holds a byte that must never reach a request line (a control character).
bool hasControlCharacter(const std::string& url);

// The URL a Location value leads to: a value starting with a single "/" is a path on the
// server of `currentUrl`; any other value is taken as it is.
std::string resolveLocation(const std::string& currentUrl, const std::string& location);

// Percentage of `done` in `total` as done x 100 / total, truncated and at most 100; 100 when
// total is 0.
int percentOf(uint64_t done, uint64_t total);
// The socket client's body percentage: (held / length) x 100 in that order, truncated;
// `length` is not 0.
int heldPercent(uint64_t held, uint64_t length);

} // namespace ornivel
