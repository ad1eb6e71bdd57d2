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

// --- Continuing a partial download ---------------------------------------------------------

// The value of the header field `name` (letter case of the name ignored, at the start of a
// line after the status line, then ":" and blanks) up to the first control character,
// without trailing blanks; false when the header has no such field.
bool headerField(const std::string& header, const char* name, std::string& value);

// "bytes FIRST-LAST/TOTAL" of a 206 answer (first <= last < total); false for anything else,
// including an unknown total ("*").
struct ContentRange {
    uint64_t first = 0;
    uint64_t last = 0;
    uint64_t total = 0;
};
bool parseContentRange(const std::string& value, ContentRange& range);

// A validator is sent back as If-Range: printable ASCII only, no blank at either end, at most
// kMaxValidatorBytes.
constexpr size_t kMaxValidatorBytes = 256;
bool isUsableValidator(const std::string& value);
// What proves a later range to belong to the same file: the entity tag when it is a strong
// one, else the modification date; empty when neither is usable.
std::string chooseValidator(const std::string& etag, const std::string& lastModified);
// chooseValidator over the ETag and Last-Modified fields of a response header.
std::string responseValidator(const std::string& header);

// The request lines that ask for the rest of a file from `offset` on, valid only while the
// file is still the one `validator` names: "Range: bytes=N-" and "If-Range: V", each with
// CR LF.
std::string rangeRequestLines(uint64_t offset, const std::string& validator);

// The resume information kept beside a partial file: the validator and a line feed. A text
// that is not exactly that (cut short, damaged) gives false.
std::string resumeInfoText(const std::string& validator);
bool parseResumeInfo(const std::string& text, std::string& validator);

// What a download does with an answer, given the offset its request asked to continue from
// (0: it asked for the whole file).
enum class AnswerUse {
    Whole,          // 200: the file (again) from its start
    Append,         // 206 continuing exactly at the offset: append it
    NotSatisfiable, // 416 to a range request: the partial file is as long as the file or longer
    Refuse,         // anything else, including a 206 that was not asked for or does not fit
};
// `contentRange` and `contentLength` are null when the answer has no such field. A 206 fits
// when its range starts at `offset` and, with a Content-Length, that length is the range's.
AnswerUse classifyAnswer(int status, uint64_t offset, const std::string* contentRange, const uint64_t* contentLength,
                         ContentRange& range);

// Percentage of `done` in `total` as done x 100 / total, truncated and at most 100; 100 when
// total is 0.
int percentOf(uint64_t done, uint64_t total);
// The socket client's body percentage: (held / length) x 100 in that order, truncated;
// `length` is not 0.
int heldPercent(uint64_t held, uint64_t length);

} // namespace ornivel
